// Serial port of the PC: the only path to the exchange.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace stanset {

// What the link protocol needs of a line. TCommPort is the real one; tests and fuzzers
// supply in-memory lines that play the exchange.
class TByteLine {
public:
    virtual ~TByteLine() = default;
    virtual void PurgeInput() = 0;
    virtual void FlushOutput() = 0;
    virtual void WriteByte(std::uint8_t b) = 0;
    virtual int ReadByte() = 0;                          // 0-255, or -1 after the read time-out
    virtual int ReadBuffer(std::uint8_t* buf, int n) = 0; // count received; 0 stored behind it
    virtual int ReadByteWithin(unsigned ms) = 0;
    virtual void Pause(unsigned ms) = 0;                 // the protocol's fixed pauses
};

class ECommError : public std::runtime_error {
public:
    ECommError(std::uint8_t code, int systemError);
    std::uint8_t Code;
    int SystemError;  // errno when the error was raised
};

// Maps an options-file port name ("COM3") to a device: /dev/ttyUSB2 when it exists,
// else /dev/ttyS2. Any other name is taken as a device path as it stands.
std::string DevicePathForPort(const std::string& name);

class TCommPort : public TByteLine {
public:
    TCommPort();
    ~TCommPort() override;
    TCommPort(const TCommPort&) = delete;
    TCommPort& operator=(const TCommPort&) = delete;

    void Open(const std::string& name);
    void Close();
    bool IsOpen() const { return open_; }
    const std::string& PortName() const { return portName_; }

    void SetPortName(const std::string& name);
    void SetBaudRate(std::uint32_t rate);
    void SetByteSize(std::uint8_t size);
    void SetParity(std::uint8_t parity);
    void SetStopBits(std::uint8_t code);  // 0 one stop bit, 2 two

    void PurgeInput() override;
    void FlushOutput() override;
    void WriteByte(std::uint8_t b) override;
    int ReadByte() override;
    int ReadBuffer(std::uint8_t* buf, int n) override;
    int ReadByteWithin(unsigned ms) override;
    void Pause(unsigned ms) override;

    // Read time-outs, in ms: between bytes, per byte asked for, and a constant.
    static constexpr unsigned kReadInterval = 15;
    static constexpr unsigned kReadTotalPerByte = 1;
    static constexpr unsigned kReadTotalConstant = 250;

private:
    struct LineSettings {
        std::uint32_t baudRate = 9600;
        std::uint8_t byteSize = 8;
        std::uint8_t parity = 0;
        std::uint8_t stopBits = 0;
    };
    void RequireOpen() const;
    bool ApplySettings();
    int ReadSome(std::uint8_t* buf, int n);
    template <typename T>
    void ChangeSetting(T LineSettings::*field, T value, std::uint8_t code);

    bool open_ = false;
    std::string portName_ = "COM1";
    LineSettings settings_;
    int fd_ = -1;
};

}  // namespace stanset

#include "files/options.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "engine/user_interaction.h"
#include "files/names_list.h"
#include "link/text_encoding.h"

namespace stanset {

namespace fs = std::filesystem;

namespace {

constexpr const char* kFileName = "Stanset_M.cfg";
constexpr const char* kCaption = "Ошибка";
// "СО" is Cyrillic in both; the third letter is a Latin M in one, a Cyrillic м in the other.
constexpr const char* kBadNumber = "Некорректный номер СОM-порта.";
constexpr const char* kBadPrefix = "Некорректный номер СОм-порта.";

fs::path OptionsPath(const std::string& workDir) {
    return (workDir.empty() ? fs::path(".") : fs::path(workDir)) / kFileName;
}

// An optional sign and decimal digits, nothing else.
bool ToInteger(const std::string& text, int& value) {
    std::size_t i = 0;
    const bool negative = !text.empty() && text[0] == '-';
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) i = 1;
    if (i == text.size()) return false;
    value = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        value = value * 10 + (text[i] - '0');  // at most two digits reach here
    }
    if (negative) value = -value;
    return true;
}

bool CanEnter(const std::string& workDir) {
    if (workDir.empty()) return true;
    std::error_code ec;
    return fs::is_directory(workDir, ec) && ::access(workDir.c_str(), X_OK) == 0;
}

}  // namespace

std::string PortNameOf(std::uint8_t number) { return "COM" + std::to_string(number); }

TPortOptionResult StorePortOption(const std::string& workDir, const std::string& typed, std::string& portName,
                                  TUserInteraction& ui) {
    // Measured in the window's own characters, one byte each in Windows-1251.
    const std::string text = Utf8ToCp1251(typed);
    if (text.size() != 4 && text.size() != 5) {
        ui.Message(kBadNumber, kCaption);
        return TPortOptionResult::Refused;
    }
    if (text.compare(0, 3, "COM") != 0) {
        ui.Message(kBadPrefix, kCaption);
        return TPortOptionResult::Refused;
    }
    int value = 0;
    if (!ToInteger(text.substr(3), value) || static_cast<std::uint8_t>(value) == 0) {
        ui.Message(kBadNumber, kCaption);
        return TPortOptionResult::Refused;
    }
    // Only the low byte is kept: the file has one byte for it ("COM-1" is port 255).
    const auto number = static_cast<std::uint8_t>(value);
    portName = PortNameOf(number);

    if (!CanEnter(workDir)) {
        ui.Message("Не могу перейти в базовую директорию.", kCaption);
        return TPortOptionResult::NotWritten;
    }
    // Written whole, so that a file of the wrong size is mended and a failure keeps the old one.
    const char bytes[2] = {static_cast<char>(number), 0};
    switch (ReplaceFile(OptionsPath(workDir).string(), std::string_view(bytes, 2))) {
        case TReplaceResult::Written: return TPortOptionResult::Stored;
        case TReplaceResult::CannotCreate: ui.Message("Не могу создать файл конфигурации.(1)", kCaption); break;
        case TReplaceResult::CannotWrite: ui.Message("Не могу записать в файл конфигурации.", kCaption); break;
    }
    return TPortOptionResult::NotWritten;
}

TPortOptionFile ReadPortOption(const std::string& workDir) {
    const std::string path = OptionsPath(workDir).string();
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 && errno == ENOENT) return {TPortOptionState::Missing, 0};
    TPortOptionFile result{TPortOptionState::BadSize, 0};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return result;
    // One byte more than a good file holds tells a longer one.
    unsigned char buf[3];
    std::size_t got = 0;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        while (got < sizeof buf) {
            const ssize_t n = ::read(fd, buf + got, sizeof buf - got);
            if (n < 0 && errno == EINTR) continue;
            if (n < 0) got = 0;
            if (n <= 0) break;
            got += static_cast<std::size_t>(n);
        }
        if (got == 2) result = {TPortOptionState::Port, buf[0]};
    }
    ::close(fd);
    return result;
}

bool WriteDefaultPortOption(const std::string& workDir) {
    const char bytes[2] = {1, 1};
    return ReplaceFile(OptionsPath(workDir).string(), std::string_view(bytes, 2)) == TReplaceResult::Written;
}

}  // namespace stanset

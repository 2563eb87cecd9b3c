// stanset-sim: a simulated exchange on a pseudo-terminal, for trying the configurator
// without hardware.
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <iostream>
#include <optional>
#include <string>

#include "ats_file.h"
#include "simulator.h"

namespace {

const char kUsage[] =
    "usage: stanset-sim [options]\n"
    "  --model NAME          KVT700-1 (default), KVT250, RD16 or RD32\n"
    "  --firmware V          firmware version, e.g. 24,7 (default) 24,4 24,3 23,8 23,7\n"
    "  --config FILE.ats     start from a configuration file instead of a built-in sample\n"
    "  --save FILE.ats       write the exchange's state as a configuration file on exit\n"
    "  --link PATH           also make PATH a symbolic link to the device\n"
    "  --baud N              emulate the wire at N baud, 11 bits a byte (default: unthrottled)\n"
    "  --transcript FILE|-   write one line per request to FILE, or to stderr for -\n"
    "  --clock-offset S      exchange clock ahead of the PC's by S seconds (may be negative)\n"
    "  --bad-sum K           next K read answers carry a wrong checksum (-1: always)\n"
    "  --plain-sum           checksums over plain instead of wire bytes\n"
    "  --silent              answer nothing\n"
    "  --wrong-echo          answer link probes with 0x01\n"
    "  --refuse-writes K     refuse the next K written blocks (-1: always)\n"
    "  --refuse-preamble     refuse the key-table preamble\n"
    "  --dead-after N        go silent after N requests other than link probes\n"
    "  --aim CMD[,SUB]       aim the faults above at one command, in hex (4c; 40,13 for a\n"
    "                        sub-command); a write counts as its read command\n"
    "  --spare N             let the first N aimed requests through unharmed\n"
    "  --help                show this text\n"
    "The first line of output is the device path; the simulator serves until SIGINT or SIGTERM.\n";

int Usage(const std::string& problem) {
    std::cerr << "stanset-sim: " << problem << "\n" << kUsage;
    return 2;
}

// "4c" or "40,13": a command and an optional sub-command, in hex.
bool Aim(const std::string& text, sim::Faults& faults) {
    auto hexByte = [](const std::string& t) -> int {
        if (t.empty() || t.size() > 2) return -1;
        char* end = nullptr;
        long v = std::strtol(t.c_str(), &end, 16);
        return *end == '\0' && v >= 0 && v <= 0xFF ? static_cast<int>(v) : -1;
    };
    const auto comma = text.find(',');
    const int cmd = hexByte(text.substr(0, comma));
    const int sub = comma == std::string::npos ? -1 : hexByte(text.substr(comma + 1));
    if (cmd < 0 || (comma != std::string::npos && sub < 0)) return false;
    faults.command = cmd & 0x7F;
    faults.sub = sub;
    return true;
}

std::optional<long long> Integer(const std::string& text) {
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (errno != 0 || *end != '\0') return std::nullopt;
    return v;
}

}  // namespace

int main(int argc, char** argv) {
    sim::SampleOptions sample;
    std::string configPath, savePath;
    sim::Options options;
    sim::Faults faults;
    long long clockOffset = 0;

    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        std::optional<std::string> inlineValue;
        if (auto eq = arg.find('='); arg.rfind("--", 0) == 0 && eq != std::string::npos) {
            inlineValue = arg.substr(eq + 1);
            arg.resize(eq);
        }
        auto value = [&]() -> std::optional<std::string> {
            if (inlineValue) return inlineValue;
            if (i + 1 < argc) return std::string(argv[++i]);
            return std::nullopt;
        };
        auto number = [&](long long lo, long long hi) -> std::optional<long long> {
            auto v = value();
            if (!v) return std::nullopt;
            auto n = Integer(*v);
            if (!n || *n < lo || *n > hi) return std::nullopt;
            return n;
        };
        auto flag = [&](bool& f) {
            if (inlineValue) return false;
            f = true;
            return true;
        };

        if (arg == "--help" || arg == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (arg == "--model") {
            auto v = value();
            if (!v) return Usage("--model needs a model name");
            sample.model = *v;
        } else if (arg == "--firmware") {
            auto v = value();
            if (!v) return Usage("--firmware needs a version");
            sample.firmware = *v;
        } else if (arg == "--config" || arg == "--save") {
            auto v = value();
            if (!v || v->empty()) return Usage(arg + " needs a file");
            (arg == "--config" ? configPath : savePath) = *v;
        } else if (arg == "--link") {
            auto v = value();
            if (!v || v->empty()) return Usage("--link needs a path");
            options.link = *v;
        } else if (arg == "--baud") {
            auto n = number(0, 10'000'000);
            if (!n) return Usage("--baud needs a number of baud (0 for unthrottled)");
            options.baud = static_cast<double>(*n);
        } else if (arg == "--transcript") {
            auto v = value();
            if (!v || v->empty()) return Usage("--transcript needs a file or -");
            if (*v == "-") options.transcriptToStderr = true;
            else options.transcriptPath = *v;
        } else if (arg == "--clock-offset") {
            auto n = number(-(1LL << 40), 1LL << 40);
            if (!n) return Usage("--clock-offset needs a number of seconds");
            clockOffset = *n;
        } else if (arg == "--bad-sum") {
            auto n = number(-1, 1'000'000'000);
            if (!n) return Usage("--bad-sum needs a count (-1: always)");
            faults.badSum = static_cast<int>(*n);
        } else if (arg == "--refuse-writes") {
            auto n = number(-1, 1'000'000'000);
            if (!n) return Usage("--refuse-writes needs a count (-1: always)");
            faults.refuseWrites = static_cast<int>(*n);
        } else if (arg == "--dead-after") {
            auto n = number(0, 1'000'000'000);
            if (!n) return Usage("--dead-after needs a count of requests");
            faults.deadAfter = static_cast<int>(*n);
        } else if (arg == "--aim") {
            auto v = value();
            if (!v || !Aim(*v, faults)) return Usage("--aim needs a command in hex, e.g. 4c or 40,13");
        } else if (arg == "--spare") {
            auto n = number(0, 1'000'000'000);
            if (!n) return Usage("--spare needs a count of requests");
            faults.spare = static_cast<int>(*n);
        } else if (arg == "--plain-sum") {
            if (!flag(faults.plainSum)) return Usage("--plain-sum takes no value");
        } else if (arg == "--silent") {
            if (!flag(faults.silent)) return Usage("--silent takes no value");
        } else if (arg == "--wrong-echo") {
            if (!flag(faults.wrongEcho)) return Usage("--wrong-echo takes no value");
        } else if (arg == "--refuse-preamble") {
            if (!flag(faults.refusePreamble)) return Usage("--refuse-preamble takes no value");
        } else {
            return Usage("unknown argument " + arg);
        }
    }

    sim::ExchangeState state;
    try {
        state = configPath.empty() ? sim::MakeSample(sample) : sim::LoadAtsFile(configPath);
    } catch (const std::invalid_argument& e) {
        return Usage(e.what());
    } catch (const std::runtime_error& e) {
        std::cerr << "stanset-sim: " << e.what() << "\n";
        return 1;
    }
    state.clockOffsetSeconds = clockOffset;

    // Taken by sigwait below; blocked before the serving thread exists so it inherits it.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    try {
        sim::Simulator simulator(std::move(state), options);
        simulator.SetFaults(faults);
        std::cout << simulator.SlavePath() << std::endl;
        simulator.Start();
        int sig = 0;
        sigwait(&stopSignals, &sig);
        simulator.Stop();
        const auto bytes = simulator.LineBytes();
        std::cerr << "stanset-sim: " << bytes.received << " bytes received, " << bytes.sent << " bytes sent\n";
        if (!savePath.empty()) sim::SaveAtsFile(simulator.State(), savePath);
    } catch (const std::exception& e) {
        std::cerr << "stanset-sim: " << e.what() << "\n";
        return 1;
    }
    return 0;
}

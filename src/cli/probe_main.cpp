// Reads the whole exchange on a serial device and prints what it found.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "cli/console_ui.h"
#include "engine/main_class.h"

using namespace stanset;

namespace {

struct TTableLine {
    const char* name;
    const TRawImage TMainClass::*image;
};

constexpr TTableLine kTables[] = {
    {"subscriber lines", &TMainClass::Lines},       {"trunk lines", &TMainClass::Trunks},
    {"groups", &TMainClass::Groups},                {"direction tables", &TMainClass::Directions},
    {"system-wide settings", &TMainClass::AllSys},  {"intercoms", &TMainClass::Intercoms},
    {"loudspeaker channels", &TMainClass::GGS},     {"redirects", &TMainClass::Redirects},
    {"flash settings", &TMainClass::Flash},         {"common phone book", &TMainClass::CommonBook},
    {"group phone books", &TMainClass::GroupBooks}, {"program numbers", &TMainClass::ProgNumbers},
    {"system-phone keys", &TMainClass::STAKeys},    {"time settings", &TMainClass::TimeSettings},
    {"black and white books", &TMainClass::BWBooks},
};

}  // namespace

int main(int argc, char** argv) {
    std::string device;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--device") == 0 && i + 1 < argc) {
            device = argv[++i];
        } else {
            std::fprintf(stderr, "usage: stanset-probe [--device PATH|COMn]\n");
            return 2;
        }
    }
    TConsoleUI ui;
    TMainClass engine(ui, {.workDir = {}, .device = device});
    if (!engine.Ready) return 1;
    auto data = std::make_shared<TDataStream>(engine.Identity.WorkDir);

    const auto t0 = std::chrono::steady_clock::now();
    const int r = engine.ReadAll(ui, data);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    if (r == -1) {
        std::fprintf(stderr, "Нет связи со станцией.\n");
        return 1;
    }
    if (r == -2) {
        std::fprintf(stderr, "Stanset_M работает с версиями рабочей программы от 22.9 и выше.\n");
        return 1;
    }
    const TStatus& st = data->Status;
    std::printf("Model:    %s\nFirmware: %s\nSerial:   %s\nName:     %s\nBilling:  %s\n", st.Model.c_str(),
                st.VersionText.c_str(), st.Serial.c_str(), st.Name.c_str(), st.BillingText.c_str());
    const TExchangeClock& c = data->Clock;
    std::printf("Clock:    %04d-%02d-%02d %02d:%02d:%02d\n", c.Year, c.Month, c.Day, c.Hour, c.Minute, c.Second);
    std::printf("Boards:  ");
    for (int k = 0; k < data->CompositionCount; ++k) std::printf(" %s", data->Composition[k].BoardName.c_str());
    std::printf("\nPorts:    %zu\n", data->Ports.size());
    for (const TTableLine& t : kTables) {
        const TRawImage& image = engine.*t.image;
        int blocks = 0, bytes = 0;
        for (int b = 0; b < image.BlockCount(); ++b)
            if (image.Counts[b]) ++blocks, bytes += image.Counts[b];
        std::printf("  %-22s %4d blocks %6d bytes\n", t.name, blocks, bytes);
    }
    int conferences = 0;
    for (const auto& slot : engine.QuickConf) conferences += slot.Present != 0;
    std::printf("  %-22s %4d present\n", "quick conferences", conferences);
    std::printf("Read-all took %.2f s\n", seconds);
    return 0;
}

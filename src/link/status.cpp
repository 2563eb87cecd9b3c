#include "link/status.h"

#include <cmath>
#include <cstdio>

#include "link/codecs.h"

namespace stanset {

TTableVerRWFlags MakeTableVerRWFlags(const std::string& model, const std::string& version) {
    auto from = [&version](const char* v) { return CompareVersions(version, v) != 0; };
    TTableVerRWFlags f;
    f.LinesFrom24_3 = from("24,3");
    f.From24_4 = from("24,4");
    f.AutoDialFrom24_3 = from("24,3");
    f.HasQuickConf = model.find("RD") == std::string::npos;
    f.GroupsFrom24_3 = from("24,3");
    f.HasBWBooks = from("24,4");
    f.HasTimeDefaults = from("23,8");
    f.HasSTAKeys = from("23,8");
    return f;
}

std::string BillingFillText(std::uint16_t used, std::uint16_t total, bool& ok) {
    ok = total != 0;
    const float free = ok ? 100.0f - static_cast<float>(used) / static_cast<float>(total) * 100.0f : 0.0f;
    // Three significant digits, two decimals, with the decimal comma of a Russian desktop.
    double shown = free;
    if (shown != 0.0) {
        const double scale = std::pow(10.0, 3 - static_cast<int>(std::floor(std::log10(std::fabs(shown)))) - 1);
        shown = std::round(shown * scale) / scale;
    }
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.2f", shown);
    for (char* p = buf; *p; ++p)
        if (*p == '.') *p = ',';
    // The C of "Cвободно" is Latin, as the exchange's own texts have it.
    return std::to_string(used) + " из " + std::to_string(total) + ". Cвободно " + buf + "%";
}

}  // namespace stanset

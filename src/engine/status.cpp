#include "engine/status.h"

#include "engine/clock.h"
#include "engine/main_class.h"
#include "link/bytes.h"
#include "link/codecs.h"

namespace stanset {

int ReadBillingBuffer(TMainClass& engine, TUserInteraction& ui) {
    engine.Billing.Clear();
    bool up = false;
    for (int check = 0; check < 3 && !up; ++check) {
        if (check > 0) engine.Link.Line().Pause(200);
        up = engine.Link.CheckLink() == 1;
    }
    if (!up) {
        ui.Message("Ошибка чтения буфера тарификации. Это некритичная ошибка. На программирование АТС не влияет", "");
        return 1;
    }
    const int n = engine.Link.ReadBlock(rows::Billing, 0, engine.Billing.Block(0));
    engine.Billing.Counts[0] = static_cast<std::uint16_t>(n > 0 ? n : 0);
    return 1;
}

std::uint64_t ExchangeClockSeconds(const TMainClass& engine) {
    const auto& b = engine.Reply.Buffer;
    return static_cast<std::uint64_t>(MakeWord(b[2], b[3])) * engine.Identity.TimeUnit +
           static_cast<std::uint64_t>(MakeWord(b[0], b[1])) * 86400u;
}

bool ClockDriftTooLarge(long long exchangeSeconds, long long pcSeconds) {
    long long diff = exchangeSeconds - pcSeconds;
    if (diff < 0) diff = -diff;
    return diff * 10 > 4752;
}

void DecodeStatus(TMainClass& engine, TDataStream& data, bool live, bool clockCheck, TUserInteraction& ui) {
    const TStatusAndOptions& id = engine.Identity;
    TStatus& st = data.Status;
    if (live) {
        const auto bill = engine.Billing.Block(0);
        data.BillingTotal = MakeWord(bill[0], bill[1]);
        data.BillingUsed = static_cast<std::uint16_t>(MakeWord(bill[2], bill[3]) - MakeWord(bill[4], bill[5]));
    }
    st.Name = id.ExchangeName;
    st.VersionText = "VX 7.7 / " + id.Version;
    st.Serial = id.Serial;
    if (live) {
        bool ok = true;
        const std::string text = BillingFillText(data.BillingUsed, data.BillingTotal, ok);
        if (!ok) ui.Message("Неправильно считаны данные состояния буфера тарификации.", "Ошибка.");
        st.BillingText = text;
    }
    st.UnitsText = (id.Model == "B" || id.Model == "RD900") ? std::to_string(id.UnitCount) : "";
    if (live) {
        const std::uint64_t seconds = ExchangeClockSeconds(engine);
        const TDateTime t = SecondsToDateTime(seconds);
        data.Clock = {t.year, t.month, t.day, t.hour, t.minute, t.second};
        if (clockCheck && ClockDriftTooLarge(static_cast<long long>(seconds), static_cast<long long>(PcClockSeconds()))) {
            if (ui.Ask("Время в АТС заметно отличается от времени в Вашем компьютере, переустановим время в АТС?",
                       "Предупреждение"))
                ui.OpenClockWindow(engine);
        }
    }
    st.Model = id.Model;
    st.STACount = id.STACount;
    st.DirectionCount = id.DirectionCount;
    st.LineCount = id.LineCount;
    st.TrunkCount = id.TrunkCount;
}

}  // namespace stanset

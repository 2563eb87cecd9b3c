// The person at a terminal: messages on stderr, questions answered with a fixed answer,
// and a text progress bar when stderr is a terminal.
#pragma once

#include <unistd.h>

#include <cstdio>
#include <string>

#include "engine/user_interaction.h"

namespace stanset {

class TConsoleUI : public TUserInteraction {
public:
    explicit TConsoleUI(bool answer = false) : answer_(answer), tty_(::isatty(2)) {}

    void Message(const std::string& text, const std::string& caption) override {
        EndBar();
        std::fprintf(stderr, "%s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str());
    }
    bool Ask(const std::string& text, const std::string& caption) override {
        EndBar();
        std::fprintf(stderr, "%s%s%s [%s]\n", caption.c_str(), caption.empty() ? "" : ": ", text.c_str(),
                     answer_ ? "OK" : "Отмена");
        return answer_;
    }
    void Progress(int position, int maximum) override {
        if (!tty_ || maximum <= 0) return;
        const int width = 32, done = position * width / maximum;
        std::fprintf(stderr, "\r[%s%s] %d/%d", std::string(done, '#').c_str(), std::string(width - done, ' ').c_str(),
                     position, maximum);
        barShown_ = position < maximum;
        if (!barShown_) std::fputc('\n', stderr);
    }
    void OpenClockWindow(TMainClass&) override {}
    // The answer to the questions that follow.
    void SetAnswer(bool answer) { answer_ = answer; }

private:
    void EndBar() {
        if (barShown_) std::fputc('\n', stderr);
        barShown_ = false;
    }
    bool answer_;
    bool tty_;
    bool barShown_ = false;
};

}  // namespace stanset

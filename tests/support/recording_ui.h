// The person at the PC, scripted: records what the core shows and answers its questions.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "engine/user_interaction.h"

namespace stanset::testing {

class RecordingUI : public TUserInteraction {
public:
    std::vector<std::pair<std::string, std::string>> Messages;  // text, caption
    std::vector<std::string> Questions;
    std::vector<std::pair<int, int>> ProgressSteps;
    bool Answer = false;
    int ClockWindows = 0;

    void Message(const std::string& text, const std::string& caption) override { Messages.emplace_back(text, caption); }
    bool Ask(const std::string& text, const std::string&) override {
        Questions.push_back(text);
        return Answer;
    }
    void Progress(int position, int maximum) override { ProgressSteps.emplace_back(position, maximum); }
    void OpenClockWindow(TMainClass&) override { ++ClockWindows; }

    bool Showed(const std::string& text) const {
        for (const auto& m : Messages)
            if (m.first == text) return true;
        return false;
    }
};

}  // namespace stanset::testing

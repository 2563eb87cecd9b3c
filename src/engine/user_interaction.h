// The one door from the core to the person at the PC.
#pragma once

#include <string>

namespace stanset {

class TMainClass;

class TUserInteraction {
public:
    virtual ~TUserInteraction() = default;
    // A modal message with an OK button; caption may be empty.
    virtual void Message(const std::string& text, const std::string& caption) = 0;
    // An OK/Cancel question; true for OK.
    virtual bool Ask(const std::string& text, const std::string& caption) = 0;
    virtual void Progress(int position, int maximum) = 0;
    // The exchange-clock window, modal, attached to this engine.
    virtual void OpenClockWindow(TMainClass& engine) = 0;
};

}  // namespace stanset

#pragma once

#include <string>

namespace velsend::base {

// How a core routine that must talk to the user mid-way does so. The GUI shows
// message boxes, the CLI prints and reads the terminal, tests script answers.
class UserPrompt {
  public:
    virtual ~UserPrompt() = default;
    // An OK-only message.
    virtual void Inform(const std::string& text, const std::string& caption) = 0;
    // A Yes/No question with the warning icon; true only for Yes.
    virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
};

}  // namespace velsend::base

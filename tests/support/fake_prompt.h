#pragma once

#include <deque>
#include <string>
#include <vector>

#include "base/user_prompt.h"

namespace velsend::test {

// Records what a core routine tells the user and answers its questions from a
// script (No once the script runs out).
class FakePrompt : public base::UserPrompt {
  public:
    struct Shown {
        std::string text;
        std::string caption;
        bool question;
    };

    void Inform(const std::string& text, const std::string& caption) override {
        shown.push_back({text, caption, false});
    }
    bool AskYesNo(const std::string& text, const std::string& caption) override {
        shown.push_back({text, caption, true});
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }

    int Questions() const {
        int n = 0;
        for (const Shown& s : shown) n += s.question ? 1 : 0;
        return n;
    }

    std::deque<bool> answers;
    std::vector<Shown> shown;
};

}  // namespace velsend::test

#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "base/result.h"
#include "core/store/project_files.h"

namespace velsend::logic {

// What the logic editors (dialog and command line) decide when the user picks
// a number or saves a rule.

inline constexpr std::string_view kIllegalCharacterMessage = "输入有非法字符！";
inline constexpr std::string_view kClearQuestion = "清空确认,将丢失现有数据?";

struct LogicNumberEntry {
    int number = 0;
    bool corrected = false;  // the typed value was out of range and was replaced
};
// A typed number above the last rule (or below 0) becomes the last rule.
LogicNumberEntry EnterLogicNumber(long long typed, int capacity);

// One wheel or save step through the rules, wrapping at both ends; `step`
// is +1, -1 or 0.
int StepLogicNumber(int number, int step, int capacity);

// nullopt when `text` may be stored as a rule of a model with this limit,
// else the message to show. The characters are checked first.
std::optional<std::string> CheckLogicRule(std::string_view text, int textLimit);

// Checks and writes rule `number` of `controllerModel`. The value is the
// number to edit next, wrapping after the last rule; a refusal or a failed
// write is the error (the number stays).
[[nodiscard]] base::Result<int> SaveLogicRule(const store::ProjectDir& dir, int controllerModel,
                                              int number, std::string_view text);
// A dialog's save: as above, with `shown` the rule as the dialog read it.
// When the file's rule changed since then, a rule the user left as shown is
// not written; an edited one is not either: the error shows both, and `shown`
// becomes the file's, so saving again keeps the user's.
[[nodiscard]] base::Result<int> SaveLogicRule(const store::ProjectDir& dir, int controllerModel,
                                              int number, std::string_view text,
                                              std::string& shown);

}  // namespace velsend::logic

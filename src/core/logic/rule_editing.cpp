#include "core/logic/rule_editing.h"
#include "base/file_write.h"

#include <filesystem>

#include "base/field_check.h"
#include "base/gbk.h"
#include "base/project_lock.h"
#include "core/logic/alphabet.h"
#include "core/logic/logic_files.h"

namespace velsend::logic {

LogicNumberEntry EnterLogicNumber(long long typed, int capacity) {
    if (typed < 0 || typed > capacity - 1) return {capacity - 1, true};
    return {static_cast<int>(typed), false};
}

int StepLogicNumber(int number, int step, int capacity) {
    return base::WrapStep(number, step, 0, capacity - 1);
}

std::optional<std::string> CheckLogicRule(std::string_view text, int textLimit) {
    if (!InLogicAlphabet(text)) return std::string(kIllegalCharacterMessage);
    return base::CheckMaxBytes(text.size(), textLimit);
}

namespace {

base::Result<int> SaveRule(const store::ProjectDir& dir, int controllerModel, int number,
                           std::string_view text, std::string* shown) {
    // Checked even when unchanged: a stored rule the controller cannot take
    // is not accepted again just because it is already there.
    if (!InLogicAlphabet(text))
        return base::Error{std::string(kIllegalCharacterMessage), RefusedCharacterNote(text)};
    base::ProjectWriteGuard guard(dir.Root());
    if (!guard) return guard.error();
    const int next = StepLogicNumber(number, 1, LogicCapacity(controllerModel));
    // An unchanged rule is left in its file as it is. (No exception: a folder
    // the user may not read is the write's to report.)
    std::error_code ec;
    const std::string onDisk = ReadLogicRule(dir, number);
    if (std::filesystem::exists(dir.PathOf(store::ProjectFile::Logic, number), ec) &&
        text == onDisk)
        return next;
    if (shown && onDisk != *shown) {
        // Another program changed this rule since the dialog read it.
        if (text == *shown) return next;  // the user did not: theirs stays
        *shown = onDisk;
        return base::EditClash(
            "逻辑 " + std::to_string(number) + " ",
            "\n文件中的：" + base::GbkToUtf8(onDisk) + "\n您改的：" + base::GbkToUtf8(text));
    }
    if (auto refusal = CheckLogicRule(text, LogicTextLimit(controllerModel)))
        return base::Error{*refusal, {}};
    const base::ChangeText what("逻辑设置：逻辑 " + std::to_string(number));
    if (auto written = WriteLogicRule(dir, number, text); !written) return written.error();
    return next;
}

}  // namespace

base::Result<int> SaveLogicRule(const store::ProjectDir& dir, int controllerModel, int number,
                                std::string_view text) {
    return SaveRule(dir, controllerModel, number, text, nullptr);
}

base::Result<int> SaveLogicRule(const store::ProjectDir& dir, int controllerModel, int number,
                                std::string_view text, std::string& shown) {
    return SaveRule(dir, controllerModel, number, text, &shown);
}

}  // namespace velsend::logic

#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class QLineEdit;
class QWidget;

namespace velsend::gui::kit {

class MessageService;

// The dialogs' data exchange: fields bound to the dialog's own copies, checked
// in the order they were added. Save() stops at the first bad field, shows its
// message, puts the focus there and leaves the copies of later fields alone.
class Form {
  public:
    Form(QWidget* owner, MessageService& messages);

    // A byte field (0..255) that must also lie in min..max.
    void AddByte(QLineEdit* edit, int* target, int min = 0, int max = 255);
    // An unsigned field that must lie in min..max.
    void AddUnsigned(QLineEdit* edit, std::uint32_t* target, std::uint32_t min, std::uint32_t max);
    // A text field; `target` holds UTF-8, the limit counts GBK bytes.
    void AddText(QLineEdit* edit, QString* target, int maxBytes);

    // Copies into the edits, without running any checks.
    void Load();
    // Checks and copies out, in order. False after the first failure.
    bool Save();

    // Runs Save() whenever the user changes any field; `after` learns which
    // edit changed and whether everything checked out.
    void SaveOnEveryChange(std::function<void(QLineEdit* changed, bool ok)> after = {});

  private:
    struct Field {
        QLineEdit* edit;
        enum class Kind { Byte, Unsigned, Text } kind;
        long long min;
        long long max;
        int* intTarget = nullptr;
        std::uint32_t* uintTarget = nullptr;
        QString* textTarget = nullptr;
    };
    // The message for a bad field, else nullopt (and the value in `value`).
    std::optional<std::string> Check(const Field& field, long long& value) const;

    QWidget* owner_;
    MessageService& messages_;
    std::vector<Field> fields_;
};

}  // namespace velsend::gui::kit

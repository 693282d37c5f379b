#include "gui/kit/form.h"

#include <QLineEdit>

#include "base/field_check.h"
#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::kit {

Form::Form(QWidget* owner, MessageService& messages) : owner_(owner), messages_(messages) {}

void Form::AddByte(QLineEdit* edit, int* target, int min, int max) {
    fields_.push_back({edit, Field::Kind::Byte, min, max, target, nullptr, nullptr});
}

void Form::AddUnsigned(QLineEdit* edit, std::uint32_t* target, std::uint32_t min,
                       std::uint32_t max) {
    fields_.push_back({edit, Field::Kind::Unsigned, min, max, nullptr, target, nullptr});
}

void Form::AddText(QLineEdit* edit, QString* target, int maxBytes) {
    fields_.push_back({edit, Field::Kind::Text, 0, maxBytes, nullptr, nullptr, target});
}

void Form::Load() {
    for (const Field& f : fields_) {
        const QSignalBlocker quiet(f.edit);
        if (f.intTarget) f.edit->setText(QString::number(*f.intTarget));
        if (f.uintTarget) f.edit->setText(QString::number(*f.uintTarget));
        if (f.textTarget) f.edit->setText(*f.textTarget);
    }
}

std::optional<std::string> Form::Check(const Field& f, long long& value) const {
    const std::string text = U8(f.edit->text());
    switch (f.kind) {
        case Field::Kind::Byte: {
            int n = 0;
            if (auto error = base::CheckByteInRange(text, static_cast<int>(f.min),
                                                    static_cast<int>(f.max), n))
                return error;
            value = n;
            return std::nullopt;
        }
        case Field::Kind::Unsigned: {
            std::uint32_t n = 0;
            if (auto error = base::CheckUnsigned(text, n)) return error;
            value = n;
            return base::CheckRange(n, f.min, f.max);
        }
        case Field::Kind::Text: {
            const int bytes = GbkLength(f.edit->text());
            return base::CheckMaxBytes(bytes < 0 ? SIZE_MAX : static_cast<std::size_t>(bytes),
                                       static_cast<int>(f.max));
        }
    }
    return std::nullopt;
}

bool Form::Save() {
    for (const Field& f : fields_) {
        long long value = 0;
        if (auto error = Check(f, value)) {
            messages_.Message(owner_, Q(*error), MessageService::AppTitle(), MessageIcon::Warning);
            f.edit->setFocus();
            f.edit->selectAll();
            return false;
        }
        if (f.intTarget) *f.intTarget = static_cast<int>(value);
        if (f.uintTarget) *f.uintTarget = static_cast<std::uint32_t>(value);
        if (f.textTarget) *f.textTarget = f.edit->text();
    }
    return true;
}

void Form::SaveOnEveryChange(std::function<void(QLineEdit*, bool)> after) {
    for (const Field& f : fields_) {
        QLineEdit* edit = f.edit;
        QObject::connect(edit, &QLineEdit::textEdited, owner_, [this, edit, after] {
            const bool ok = Save();
            if (after) after(edit, ok);
        });
    }
}

}  // namespace velsend::gui::kit

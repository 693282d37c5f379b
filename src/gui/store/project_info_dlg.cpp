#include "gui/store/project_info_dlg.h"

#include <QApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

#include "gui/kit/dialog_buttons.h"
#include "gui/kit/gbk_line_edit.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::store {

using namespace velsend::store;
namespace {

constexpr int kEditWidth = 360;

// Texts are kept whole here; the store cuts them to the field at a whole character.
kit::GbkLineEdit* NewFieldEdit(QWidget* parent) {
    auto* edit = new kit::GbkLineEdit(parent, 1 << 16);
    edit->setMinimumWidth(kEditWidth);
    return edit;
}

void ReportUnwritten(kit::MessageService& messages, QWidget* parent, const base::Error& error) {
    messages.Message(
        parent,
        kit::WithReason(QStringLiteral("无法写入工程信息文件 info.dat，修改没有保存。"), error),
        kit::MessageService::AppTitle(), kit::MessageIcon::Critical);
}

// The field's bytes; nullopt (after saying so) when it holds a character
// that cannot be stored.
std::optional<std::string> FieldBytes(kit::GbkLineEdit* edit, kit::MessageService& messages,
                                      QWidget* parent) {
    if (auto bytes = edit->GbkText()) return bytes;
    messages.Message(parent, QStringLiteral("文字中有无法保存的字符，请改正。"),
                     kit::MessageService::AppTitle(), kit::MessageIcon::Warning);
    edit->setFocus();
    return std::nullopt;
}

}  // namespace

ProjectNameDlg::ProjectNameDlg(const ProjectDir& dir, kit::MessageService& messages,
                               QWidget* parent)
    : QDialog(parent), dir_(dir), messages_(messages), name_(NewFieldEdit(this)) {
    setWindowTitle(QStringLiteral("工程名称"));
    auto* fields = new QFormLayout;
    fields->addRow(QStringLiteral("工程名称"), name_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    const kit::DialogButtons buttons = kit::MakeOkCancel(this);
    layout->addLayout(buttons.row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    name_->SetGbkText(ReadProjectName(dir_));
}

void ProjectNameDlg::accept() {
    // Unlike a silent loss, a failed write keeps the dialog and its text.
    const auto name = FieldBytes(name_, messages_, this);
    if (!name) return;
    if (auto written = WriteProjectName(dir_, *name); !written)
        return ReportUnwritten(messages_, this, written.error());
    QDialog::accept();
}

ProjectInfoDlg::ProjectInfoDlg(const ProjectDir& dir, kit::MessageService& messages,
                               QWidget* parent)
    : QDialog(parent), dir_(dir), messages_(messages) {
    setWindowTitle(QStringLiteral("工程详细信息"));
    shown_ = ReadProjectInfo(dir_);
    const ProjectInfo& info = shown_;
    auto* fields = new QFormLayout;
    for (int f = 0; f < kInfoFieldCount; ++f) {
        auto* edit = NewFieldEdit(this);
        edit->SetGbkText(info[static_cast<std::size_t>(f)]);
        fields->addRow(kit::Q(InfoFieldLabel(f)), edit);
        edits_[static_cast<std::size_t>(f)] = edit;
    }
    auto* icon = new QLabel(this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_FileDialogDetailedView).pixmap(32, 32));
    auto* note = new QLabel(QStringLiteral("每项最多 50 个字节（一个汉字占两个字节）。"), this);
    auto* aside = new QHBoxLayout;
    aside->addWidget(icon);
    aside->addWidget(note, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(fields);
    layout->addLayout(aside);
    const kit::DialogButtons buttons = kit::MakeOkCancel(this);
    layout->addLayout(buttons.row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void ProjectInfoDlg::accept() {
    ProjectInfo info;
    for (int f = 0; f < kInfoFieldCount; ++f) {
        const auto text = FieldBytes(edits_[static_cast<std::size_t>(f)], messages_, this);
        if (!text) return;
        info[static_cast<std::size_t>(f)] = *text;
    }
    if (auto written = SaveProjectInfo(dir_, shown_, info); !written) {
        if (written.error().code != base::kEditClash)
            return ReportUnwritten(messages_, this, written.error());
        // Another program changed a field the user edited: both are shown.
        messages_.Message(this, QString::fromStdString(written.error().userText),
                          kit::MessageService::AppTitle(), kit::MessageIcon::Warning);
        return;
    }
    QDialog::accept();
}

}  // namespace velsend::gui::store

#include "gui/kit/message_service.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include "base/controller_model.h"

namespace velsend::ui {
namespace {

QMessageBox::Icon ToQt(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::Information:
            return QMessageBox::Information;
        case MessageIcon::Warning:
            return QMessageBox::Warning;
        case MessageIcon::Critical:
            return QMessageBox::Critical;
        case MessageIcon::Question:
            return QMessageBox::Question;
        case MessageIcon::None:
            break;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

QString MessageService::AppTitle() {
    return QString::fromUtf8(base::kAppTitle.data(), static_cast<qsizetype>(base::kAppTitle.size()));
}

void MessageService::Inform(const std::string& text, const std::string& caption) {
    Message(promptParent_, QString::fromStdString(text), QString::fromStdString(caption),
            MessageIcon::None);
}

bool MessageService::AskYesNo(const std::string& text, const std::string& caption) {
    return Question(promptParent_, QString::fromStdString(text), QString::fromStdString(caption),
                    MessageIcon::Warning);
}

void WidgetMessageService::Message(QWidget* parent, const QString& text, const QString& caption,
                                   MessageIcon icon) {
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, parent);
    box.exec();
}

bool WidgetMessageService::Question(QWidget* parent, const QString& text, const QString& caption,
                                    MessageIcon icon) {
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool WidgetMessageService::Confirm(QWidget* parent, const QString& text, const QString& caption,
                                   MessageIcon icon) {
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

QString DialogStart(const DialogFolders* folders, const QString& dir, const QString& kind) {
    if (!folders || (!dir.isEmpty() && QFileInfo(dir).isAbsolute())) return dir;
    const QString folder = folders->FolderFor(kind);
    if (folder.isEmpty()) return dir;
    return dir.isEmpty() ? folder : QDir(folder).filePath(dir);
}

void WidgetMessageService::Note(const QString& chosen, const QString& filter) {
    if (folders_ && !chosen.isEmpty()) folders_->Remember(filter, QFileInfo(chosen).absolutePath());
}

QString WidgetMessageService::OpenFileName(QWidget* parent, const QString& caption,
                                           const QString& dir, const QString& filter) {
    const QString chosen =
        QFileDialog::getOpenFileName(parent, caption, DialogStart(folders_, dir, filter), filter);
    Note(chosen, filter);
    return chosen;
}

QString WidgetMessageService::SaveFileName(QWidget* parent, const QString& caption,
                                           const QString& dir, const QString& filter) {
    const QString chosen =
        QFileDialog::getSaveFileName(parent, caption, DialogStart(folders_, dir, filter), filter);
    Note(chosen, filter);
    return chosen;
}

QString WidgetMessageService::ExistingFolder(QWidget* parent, const QString& caption,
                                             const QString& dir) {
    return QFileDialog::getExistingDirectory(parent, caption, dir);
}

}  // namespace velsend::ui

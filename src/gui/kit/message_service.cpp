#include "gui/kit/message_service.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QTreeView>
#include <QMessageBox>

#include "base/controller_model.h"
#include "gui/kit/qt_text.h"
#include "gui/kit/screen_fit.h"

namespace velsend::gui::kit {
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

QString RunFileDialog(QWidget* parent, const QString& caption, const QString& dir,
                      const QString& filter, QFileDialog::AcceptMode accept,
                      QFileDialog::FileMode mode) {
    const std::unique_ptr<QFileDialog> dialog = MakeFileDialog(parent, caption, dir, filter, accept, mode);
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog->selectedFiles();
    return chosen.isEmpty() ? QString() : chosen.first();
}

}  // namespace

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const QString& caption,
                                            const QString& dir, const QString& filter,
                                            QFileDialog::AcceptMode accept,
                                            QFileDialog::FileMode mode) {
    auto dialog = std::make_unique<QFileDialog>(parent, caption, dir, filter);
    dialog->setAcceptMode(accept);
    dialog->setFileMode(mode);
    if (mode == QFileDialog::Directory) dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setViewMode(QFileDialog::Detail);
    // The name takes what is left; size, type and date are shown whole.
    if (auto* view = dialog->findChild<QTreeView*>()) {
        QHeaderView* header = view->header();
        header->setStretchLastSection(false);
        header->setSectionResizeMode(QHeaderView::ResizeToContents);
        header->setSectionResizeMode(0, QHeaderView::Stretch);
    }
    FitToScreen(dialog.get(), QSize(880, 540), parent);
    return dialog;
}

QString MessageService::AppTitle() {
    return Q(base::kAppTitle);
}

void MessageService::Inform(const std::string& text, const std::string& caption) {
    Message(promptParent_, Q(text), Q(caption),
            MessageIcon::None);
}

bool MessageService::AskYesNo(const std::string& text, const std::string& caption) {
    return Question(promptParent_, Q(text), Q(caption),
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
        RunFileDialog(parent, caption, DialogStart(folders_, dir, filter), filter,
                      QFileDialog::AcceptOpen, QFileDialog::ExistingFile);
    Note(chosen, filter);
    return chosen;
}

QString WidgetMessageService::SaveFileName(QWidget* parent, const QString& caption,
                                           const QString& dir, const QString& filter) {
    const QString chosen =
        RunFileDialog(parent, caption, DialogStart(folders_, dir, filter), filter,
                      QFileDialog::AcceptSave, QFileDialog::AnyFile);
    Note(chosen, filter);
    return chosen;
}

QString WidgetMessageService::ExistingFolder(QWidget* parent, const QString& caption,
                                             const QString& dir) {
    return RunFileDialog(parent, caption, dir, QString(), QFileDialog::AcceptOpen,
                         QFileDialog::Directory);
}

}  // namespace velsend::gui::kit

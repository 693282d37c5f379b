#include "gui/kit/message_service.h"

#include <QDir>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QRegularExpression>
#include <QTreeView>
#include <algorithm>

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

// The one extension a save filter offers ("Excel表格文件 (*.xlsx)" gives
// "xlsx"); empty when it offers none or several.
QString FilterSuffix(const QString& filter) {
    static const QRegularExpression one(QStringLiteral("\\(\\*\\.(\\w+)\\)$"));
    const QRegularExpressionMatch match = one.match(filter.trimmed());
    return match.hasMatch() ? match.captured(1) : QString();
}

// The file a typed save name stands for: a name without an extension gets
// the filter's, and a shorter form of it (".xls" for ".xlsx") is replaced.
// The file written is this one, so it is the one to ask about.
QString SavedName(const QString& typed, const QString& suffix) {
    if (suffix.isEmpty() || typed.isEmpty()) return typed;
    const QFileInfo info(typed);
    const QString has = info.suffix();
    if (has.compare(suffix, Qt::CaseInsensitive) == 0) return typed;
    if (has.isEmpty()) return typed + QLatin1Char('.') + suffix;
    if (!suffix.startsWith(has, Qt::CaseInsensitive)) return typed;
    return typed.left(typed.size() - has.size()) + suffix;
}

// A save dialog whose overwrite question is about the file really written.
class SaveDialog : public QFileDialog {
  public:
    SaveDialog(QWidget* parent, const QString& caption, const QString& dir, const QString& filter)
        : QFileDialog(parent, caption, dir, filter), suffix_(FilterSuffix(filter)) {
        setDefaultSuffix(suffix_);
    }

  protected:
    void accept() override {
        const QStringList typed = selectedFiles();
        if (typed.size() == 1) {
            const QString saved = SavedName(typed.first(), suffix_);
            if (saved != typed.first()) selectFile(saved);
        }
        QFileDialog::accept();
    }

  private:
    QString suffix_;
};

// A box is as wide as its text; the window manager then cuts a longer
// caption to "Ve… d". Widened to the caption (within the screen), it shows
// it whole.
void WidenForCaption(QMessageBox& box) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid || box.windowTitle().isEmpty()) return;
    // The title bar's font is usually the larger; icons and buttons need room too.
    const int wanted = box.fontMetrics().horizontalAdvance(box.windowTitle()) * 5 / 4 + 120;
    const int width = std::min(wanted, ScreenRoom(box.parentWidget()).width());
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

QString RunFileDialog(QWidget* parent, const QString& caption, const QString& dir,
                      const QString& filter, QFileDialog::AcceptMode accept,
                      QFileDialog::FileMode mode) {
    const std::unique_ptr<QFileDialog> dialog =
        MakeFileDialog(parent, caption, dir, filter, accept, mode);
    if (dialog->exec() != QDialog::Accepted) return {};
    const QStringList chosen = dialog->selectedFiles();
    if (chosen.isEmpty()) return {};
    if (accept != QFileDialog::AcceptSave) return chosen.first();
    // A dialog of the system's own does not go through SaveDialog::accept.
    const QString saved = SavedName(chosen.first(), FilterSuffix(filter));
    if (saved == chosen.first() || !QFileInfo::exists(saved)) return saved;
    QMessageBox box(
        QMessageBox::Warning, caption,
        QStringLiteral("%1 已存在。\n要替换它吗？").arg(QDir::toNativeSeparators(saved)),
        QMessageBox::Yes | QMessageBox::No, parent);
    WidenForCaption(box);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes ? saved : QString();
}

// Qt's Chinese translation leaves the type column in English ("Folder",
// "xlsx File").
class ChineseTypes : public QFileIconProvider {
  public:
    QString type(const QFileInfo& info) const override {
        if (info.isDir()) return QStringLiteral("文件夹");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("文件")
                                : suffix.toUpper() + QStringLiteral(" 文件");
    }
};

}  // namespace

std::unique_ptr<QFileDialog> MakeFileDialog(QWidget* parent, const QString& caption,
                                            const QString& dir, const QString& filter,
                                            QFileDialog::AcceptMode accept,
                                            QFileDialog::FileMode mode) {
    std::unique_ptr<QFileDialog> dialog =
        accept == QFileDialog::AcceptSave
            ? std::make_unique<SaveDialog>(parent, caption, dir, filter)
            : std::make_unique<QFileDialog>(parent, caption, dir, filter);
    dialog->setAcceptMode(accept);
    dialog->setFileMode(mode);
    if (mode == QFileDialog::Directory) dialog->setOption(QFileDialog::ShowDirsOnly);
    dialog->setViewMode(QFileDialog::Detail);
    // Qt's own dialog (not the desktop's): the one whose texts are ours.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    static ChineseTypes types;
    dialog->setIconProvider(&types);
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
    Message(promptParent_, Q(text), Q(caption), MessageIcon::None);
}

bool MessageService::AskYesNo(const std::string& text, const std::string& caption) {
    return Question(promptParent_, Q(text), Q(caption), MessageIcon::Warning);
}

void WidgetMessageService::Message(QWidget* parent, const QString& text, const QString& caption,
                                   MessageIcon icon) {
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok, parent);
    WidenForCaption(box);
    box.exec();
}

bool WidgetMessageService::Question(QWidget* parent, const QString& text, const QString& caption,
                                    MessageIcon icon) {
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Yes | QMessageBox::No, parent);
    WidenForCaption(box);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

bool WidgetMessageService::Confirm(QWidget* parent, const QString& text, const QString& caption,
                                   MessageIcon icon) {
    QMessageBox box(ToQt(icon), caption, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    WidenForCaption(box);
    box.setDefaultButton(QMessageBox::Ok);
    return box.exec() == QMessageBox::Ok;
}

QString FileKind(const QString& filter) {
    const QString kind = filter.section(QLatin1Char('('), 0, 0).trimmed();
    return kind.isEmpty() ? filter : kind;
}

QString DialogStart(const DialogFolders* folders, const QString& dir, const QString& kind) {
    if (!folders || (!dir.isEmpty() && QFileInfo(dir).isAbsolute())) return dir;
    const QString folder = folders->FolderFor(kind);
    if (folder.isEmpty()) return dir;
    return dir.isEmpty() ? folder : QDir(folder).filePath(dir);
}

void WidgetMessageService::Note(const QString& chosen, const QString& filter) {
    if (folders_ && !chosen.isEmpty())
        folders_->Remember(FileKind(filter), QFileInfo(chosen).absolutePath());
}

QString WidgetMessageService::OpenFileName(QWidget* parent, const QString& caption,
                                           const QString& dir, const QString& filter) {
    const QString chosen =
        RunFileDialog(parent, caption, DialogStart(folders_, dir, FileKind(filter)), filter,
                      QFileDialog::AcceptOpen, QFileDialog::ExistingFile);
    Note(chosen, filter);
    return chosen;
}

QString WidgetMessageService::SaveFileName(QWidget* parent, const QString& caption,
                                           const QString& dir, const QString& filter) {
    const QString chosen =
        RunFileDialog(parent, caption, DialogStart(folders_, dir, FileKind(filter)), filter,
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

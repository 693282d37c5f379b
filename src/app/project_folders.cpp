#include "app/project_folders.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace velsend::app {
namespace {

const QString kRecentKey = QStringLiteral("ProjectFolders/Recent");

QString DialogKey(const QString& kind) {
    // Filters hold slashes and brackets; a key must not.
    return QStringLiteral("FileDialogs/") +
           QString::fromLatin1(
               QCryptographicHash::hash(kind.toUtf8(), QCryptographicHash::Md5).toHex().left(12));
}

}  // namespace

ProjectFolders::ProjectFolders() = default;

ProjectFolders::ProjectFolders(const QString& settingsFile)
    : ProjectFolders(std::make_unique<QSettings>(settingsFile, QSettings::IniFormat)) {}

ProjectFolders::ProjectFolders(std::unique_ptr<QSettings> settings)
    : settings_(std::move(settings)) {}

ProjectFolders::~ProjectFolders() = default;

std::unique_ptr<ProjectFolders> ProjectFolders::UserSettings() {
    return std::unique_ptr<ProjectFolders>(new ProjectFolders(
        std::make_unique<QSettings>(QStringLiteral("VelSend"), QStringLiteral("VelSend"))));
}

QVariant ProjectFolders::Value(const QString& key) const {
    return settings_ ? settings_->value(key) : memory_.value(key);
}

void ProjectFolders::SetValue(const QString& key, const QVariant& value) {
    if (settings_) {
        settings_->setValue(key, value);
        settings_->sync();
    } else {
        memory_[key] = value;
    }
}

QStringList ProjectFolders::Recent() const {
    return Value(kRecentKey).toStringList();
}

void ProjectFolders::NoteOpened(const QString& folder) {
    current_ = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    QStringList recent = Recent();
    recent.removeAll(current_);
    recent.prepend(current_);
    while (recent.size() > kRecentCount) recent.removeLast();
    SetValue(kRecentKey, recent);
}

QString ProjectFolders::StartFolder(const QString& argument) const {
    if (!argument.isEmpty()) return argument;
    const QStringList recent = Recent();
    if (!recent.isEmpty() && QFileInfo(recent.front()).isDir()) return recent.front();
    return {};
}

QString ProjectFolders::FolderFor(const QString& kind) const {
    const QString folder = Value(DialogKey(kind)).toString();
    if (!folder.isEmpty() && QFileInfo(folder).isDir()) return folder;
    return current_;
}

void ProjectFolders::Remember(const QString& kind, const QString& folder) {
    SetValue(DialogKey(kind), folder);
}

}  // namespace velsend::app

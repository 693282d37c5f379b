#pragma once

#include <QString>
#include <QStringList>
#include <QVariantMap>
#include <memory>

#include "gui/kit/message_service.h"

class QSettings;

namespace velsend::app {

// What the program remembers between runs about folders: the recently opened
// project folders (newest first) and, per kind of file dialog, the folder the
// last file of that kind came from. Kept in the user's settings, in a given
// settings file, or (for a window that should remember nothing) in memory only.
class ProjectFolders : public gui::kit::DialogFolders {
  public:
    static constexpr int kRecentCount = 8;

    ProjectFolders();  // in memory only
    explicit ProjectFolders(const QString& settingsFile);
    static std::unique_ptr<ProjectFolders> UserSettings();
    ~ProjectFolders() override;

    QStringList Recent() const;
    // Puts `folder` at the top of the recent list and makes it the current one.
    void NoteOpened(const QString& folder);
    QString Current() const { return current_; }

    // The folder to open at start: the one given on the command line, else
    // the last one opened if it still exists; empty for the working folder.
    QString StartFolder(const QString& argument) const;

    QString FolderFor(const QString& kind) const override;
    void Remember(const QString& kind, const QString& folder) override;

  private:
    explicit ProjectFolders(std::unique_ptr<QSettings> settings);
    QVariant Value(const QString& key) const;
    void SetValue(const QString& key, const QVariant& value);

    std::unique_ptr<QSettings> settings_;
    QVariantMap memory_;
    QString current_;
};

}  // namespace velsend::app

#pragma once

#include <QString>
#include <QStringList>
#include <deque>
#include <vector>

#include "gui/kit/message_service.h"

namespace velsend::test {

// Stands in for every message box and file dialog in GUI tests: records what
// would have been shown and answers from a script (No / cancel when it runs out).
class ScriptedMessages : public gui::kit::MessageService {
  public:
    struct Shown {
        QString text;
        QString caption;
        gui::kit::MessageIcon icon;
        bool question;
    };

    void Message(QWidget*, const QString& text, const QString& caption,
                 gui::kit::MessageIcon icon) override {
        shown.push_back({text, caption, icon, false});
    }
    bool Question(QWidget*, const QString& text, const QString& caption,
                  gui::kit::MessageIcon icon) override {
        shown.push_back({text, caption, icon, true});
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QString OpenFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return NextFile();
    }
    QString SaveFileName(QWidget*, const QString&, const QString&, const QString&) override {
        return NextFile();
    }
    QString ExistingFolder(QWidget*, const QString&, const QString&) override { return NextFile(); }

    std::deque<bool> answers;
    QStringList files;
    std::vector<Shown> shown;

  private:
    QString NextFile() { return files.isEmpty() ? QString() : files.takeFirst(); }
};

}  // namespace velsend::test

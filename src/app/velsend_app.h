#pragma once

#include <QApplication>
#include <memory>

class QTranslator;

#include "gui/kit/message_service.h"
#include "gui/kit/run_state.h"

namespace velsend::app {

class MainFrame;
class ProjectFolders;

// Qt's own texts (standard buttons, file dialogs) in Chinese, from the
// system's Qt translations; null when they are not installed.
QTranslator* InstallQtChineseTranslations(QCoreApplication& app);

// The application: owns the run's shared values, the message service and the
// main window.
class VelsendApp : public QApplication {
    Q_OBJECT
  public:
    VelsendApp(int& argc, char** argv);
    ~VelsendApp() override;

    // Creates and shows the main window on the project folder of the command
    // line ("velsend [--trace FILE] [DIR]"), else on the last one opened;
    // false when the window could not be created or the command line is wrong.
    bool InitInstance();
    gui::kit::RunState& State() { return state_; }

  private:
    gui::kit::RunState state_;
    gui::kit::WidgetMessageService messages_;
    std::unique_ptr<ProjectFolders> folders_;
    std::unique_ptr<MainFrame> frame_;
};

}  // namespace velsend::app

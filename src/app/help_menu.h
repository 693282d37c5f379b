#pragma once

#include <QString>

class QMenu;
class QWidget;

namespace velsend::gui::kit {
class MessageService;
}

namespace velsend::app {

// "帮助", the last menu of every bar: "使用说明" opens the user guide in the
// desktop's browser, "关于" names the version, the licence and the libraries.
QMenu* BuildHelpMenu(QWidget* parent, gui::kit::MessageService& messages);

// The guide's first page: the installed copy (share/doc/velsend/guide beside
// the program's bin folder), else the one in the source tree the program was
// built from; empty when neither is there.
QString UserGuidePath();

// The text of "关于".
QString AboutText();

}  // namespace velsend::app

#include "gui/phrases/phrase_init_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/phrases/phrase_library.h"
#include "gui/kit/dialog_buttons.h"
#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::phrases {

using namespace velsend::phrases;

PhraseInitDlg::PhraseInitDlg(const velsend::store::ProjectDir& dir, int mode,
                             kit::MessageService& messages, QWidget* parent)
    : QDialog(parent),
      dir_(dir),
      mode_(mode),
      messages_(messages),
      text_(mode == kInitCommon ? QStringLiteral("初始化为常用词组！确认否？")
                                : QStringLiteral("将0~255号词组全部清空！确认否？")) {
    setWindowTitle(QStringLiteral("确认？"));
    const kit::DialogButtons buttons = kit::MakeOkCancel(this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(text_, this));
    layout->addLayout(buttons.row);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

QString PhraseInitDlg::Text() const {
    return text_;
}

void PhraseInitDlg::accept() {
    const base::Result<> written = InitialisePhrases(dir_, mode_);
    QDialog::accept();
    const QString caption = QStringLiteral("造词菜单");
    if (!written) {
        // Never report a reset that did not reach the file.
        messages_.Message(
            parentWidget(),
            kit::WithReason(QStringLiteral("无法写入词库文件 word.dat，词库没有改变。"),
                            written.error()),
            caption, kit::MessageIcon::Critical);
        return;
    }
    messages_.Message(parentWidget(),
                      mode_ == kInitCommon ? QStringLiteral("初始化常用词组成功！")
                                           : QStringLiteral("初始化空词组成功！"),
                      caption, kit::MessageIcon::None);
}

}  // namespace velsend::gui::phrases

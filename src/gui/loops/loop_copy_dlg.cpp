#include "gui/loops/loop_copy_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include "base/field_check.h"
#include "core/loops/loop_copy.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::loops {

using namespace velsend::loops;

LoopCopyDlg::LoopCopyDlg(const velsend::store::ProjectDir& dir, kit::MessageService& messages,
                         QWidget* parent)
    : QDialog(parent),
      dir_(dir),
      messages_(messages),
      source_(new kit::NumberEdit(this)),
      target_(new kit::NumberEdit(this)),
      copy_(new QPushButton(QStringLiteral("确定"), this)) {
    source_->setObjectName(QStringLiteral("source"));
    target_->setObjectName(QStringLiteral("target"));
    copy_->setObjectName(QStringLiteral("copy"));
    setWindowTitle(QStringLiteral("回路数据复制"));
    for (kit::NumberEdit* edit : {source_, target_}) {
        edit->EnableCorrection(255, true);
        edit->setFixedWidth(48);
        edit->SetNumber(0);
    }
    auto* sentence = new QHBoxLayout;
    sentence->addWidget(new QLabel(QStringLiteral("将"), this));
    sentence->addWidget(source_);
    sentence->addWidget(new QLabel(QStringLiteral("回路的所有数据复制到"), this));
    sentence->addWidget(target_);
    sentence->addWidget(new QLabel(QStringLiteral("回路"), this));
    auto* quit = new QPushButton(QStringLiteral("退出"), this);
    copy_->setDefault(true);
    quit->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(copy_);
    buttons->addWidget(quit);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(sentence);
    layout->addLayout(buttons);
    connect(copy_, &QPushButton::clicked, this, &LoopCopyDlg::OnCopy);
    connect(quit, &QPushButton::clicked, this, &QDialog::reject);
    installEventFilter(this);
    for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);
    setFixedSize(sizeHint());
}

void LoopCopyDlg::OnCopy() {
    const int source = static_cast<int>(source_->CorrectedValue());
    const int target = static_cast<int>(target_->CorrectedValue());
    const base::Result<std::string> copied = CopyLoop(dir_, source, target);
    if (!copied) {
        messages_.Message(this, kit::Q(copied.error().Full()), kit::MessageService::AppTitle(),
                          kit::MessageIcon::Warning);
        return;
    }
    messages_.Message(this, kit::Q(*copied), QString(), kit::MessageIcon::Information);
    target_->SetNumber(NextTarget(target));
}

// The wheel steps the focused edit, wrapping; elsewhere it acts as usual.
bool LoopCopyDlg::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Wheel) {
        auto* edit = qobject_cast<kit::NumberEdit*>(focusWidget());
        const int step = kit::WheelStep(static_cast<QWheelEvent*>(event));
        if (edit && step != 0) {
            edit->SetNumber(base::WrapStep(static_cast<int>(edit->CorrectedValue()), step, 0, 255),
                            true);
            edit->setFocus();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace velsend::gui::loops

#include "gui/store/project_init_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/kit/message_service.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::store {

using namespace velsend::store;

ProjectInitDlg::ProjectInitDlg(const ProjectDir& dir, kit::MessageService& messages,
                               QWidget* parent)
    : QDialog(parent),
      dir_(dir),
      messages_(messages),
      confirm_(new QPushButton(QStringLiteral("确认"), this)),
      cancel_(new QPushButton(QStringLiteral("取消"), this)) {
    setWindowTitle(QStringLiteral("初始化"));
    auto* text = new QLabel(QStringLiteral("所有数据将丢失,请做好备份!"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(confirm_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(text);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Enter must not wipe a project by habit: the safe button is the default.
    confirm_->setObjectName(QStringLiteral("confirm"));
    cancel_->setObjectName(QStringLiteral("cancel"));
    cancel_->setDefault(true);
    cancel_->setFocus();
    connect(confirm_, &QPushButton::clicked, this, &ProjectInitDlg::OnConfirm);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
}

void ProjectInitDlg::OnConfirm() {
    const InitialisationResult result = InitialiseProject(dir_);
    if (!result.outcome) {
        // What was deleted stays deleted; the dialog stays for another try.
        messages_.Message(this, kit::Q(result.outcome.error().Full()),
                          kit::MessageService::AppTitle(), kit::MessageIcon::Critical);
        return;
    }
    accept();
}

}  // namespace velsend::gui::store

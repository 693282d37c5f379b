#include "gui/kit/dialog_buttons.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>

namespace velsend::gui::kit {

DialogButtons MakeOkCancel(QDialog* dialog) {
    DialogButtons b{new QPushButton(QStringLiteral("确认"), dialog),
                    new QPushButton(QStringLiteral("取消"), dialog), new QHBoxLayout};
    b.ok->setObjectName(QStringLiteral("ok"));
    b.cancel->setObjectName(QStringLiteral("cancel"));
    b.ok->setDefault(true);
    b.row->addStretch(1);
    b.row->addWidget(b.ok);
    b.row->addWidget(b.cancel);
    QObject::connect(b.ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(b.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return b;
}

}  // namespace velsend::gui::kit

#include "gui/exchange/velnet_dlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "core/exchange/velnet_import.h"
#include "gui/kit/form.h"
#include "gui/kit/message_service.h"
#include "gui/kit/number_edit.h"
#include "gui/kit/qt_text.h"

namespace velsend::gui::exchange {

using namespace velsend::exchange;

VelnetImportDlg::VelnetImportDlg(kit::RunState& state, kit::MessageService& messages,
                                 QWidget* parent)
    : QDialog(parent),
      state_(state),
      messages_(messages),
      folder_(state.VelnetFolder.empty() ? DefaultVelnetFolder() : state.VelnetFolder),
      question_(new QLabel(this)),
      folderEdit_(new QLineEdit(this)),
      first_(new kit::NumberEdit(this, 10)),
      last_(new kit::NumberEdit(this, 10)),
      form_(std::make_unique<kit::Form>(this, messages)) {
    setWindowTitle(kit::Q(kVelnetTitle));
    question_->setObjectName(QStringLiteral("question"));
    question_->setWordWrap(true);
    folderEdit_->setObjectName(QStringLiteral("folder"));
    folderEdit_->setReadOnly(true);
    first_->setObjectName(QStringLiteral("firstLoop"));
    last_->setObjectName(QStringLiteral("lastLoop"));
    for (kit::NumberEdit* edit : {first_, last_}) edit->setFixedWidth(60);

    auto* browse = new QPushButton(QStringLiteral("选择目录..."), this);
    browse->setObjectName(QStringLiteral("browse"));
    browse->setAutoDefault(false);
    auto* folderRow = new QHBoxLayout;
    folderRow->addWidget(new QLabel(QStringLiteral("VELNET数据目录:"), this));
    folderRow->addWidget(folderEdit_, 1);
    folderRow->addWidget(browse);

    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(QStringLiteral("从"), this));
    range->addWidget(first_);
    range->addWidget(new QLabel(QStringLiteral("回路  到"), this));
    range->addWidget(last_);
    range->addWidget(new QLabel(QStringLiteral("回路"), this));
    range->addStretch(1);

    auto* ok = new QPushButton(QStringLiteral("OK"), this);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("cancel"));
    cancel->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(question_);
    layout->addLayout(folderRow);
    layout->addLayout(range);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, &VelnetImportDlg::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, &VelnetImportDlg::ChooseFolder);

    form_->AddUnsigned(first_, &state_.VelnetFirstLoop, 0, UINT32_MAX);
    form_->AddUnsigned(last_, &state_.VelnetLastLoop, 0, UINT32_MAX);
    form_->Load();
    form_->SaveOnEveryChange();
    ShowFolder();
    resize(520, sizeHint().height());
}

VelnetImportDlg::~VelnetImportDlg() = default;

void VelnetImportDlg::ShowFolder() {
    question_->setText(kit::Q(VelnetQuestion(folder_)));
    folderEdit_->setText(kit::QPath(folder_));
}

void VelnetImportDlg::ChooseFolder() {
    const QString chosen =
        messages_.ExistingFolder(this, QStringLiteral("选择VELNET数据目录"), kit::QPath(folder_));
    if (chosen.isEmpty()) return;
    folder_ = kit::StdPath(chosen);
    state_.VelnetFolder = folder_;
    ShowFolder();
}

void VelnetImportDlg::accept() {
    if (!form_->Save()) return;
    QDialog::accept();
}

VelnetImportRunDlg::VelnetImportRunDlg(const velsend::store::ProjectDir& dir,
                                       std::filesystem::path folder, std::uint32_t first,
                                       std::uint32_t last, kit::MessageService& messages,
                                       QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint),
      dir_(dir),
      folder_(std::move(folder)),
      first_(first),
      last_(last),
      messages_(messages) {
    auto* text = new QLabel(kit::Q(kVelnetProgressText), this);
    text->setObjectName(QStringLiteral("progressText"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(30, 24, 30, 24);
    layout->addWidget(text);
    setStyleSheet(QStringLiteral("VelnetImportRunDlg { border: 1px solid palette(dark); }"));
}

void VelnetImportRunDlg::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (started_) return;
    started_ = true;
    // The box is painted before the work starts; the conversion then runs once.
    QTimer::singleShot(kStartDelayMs, this, &VelnetImportRunDlg::Convert);
}

void VelnetImportRunDlg::Convert() {
    const auto result = ImportVelnet(dir_, folder_, first_, last_);
    hide();
    if (result)
        messages_.Message(this, kit::Q(result->message), kit::Q(kVelnetDoneCaption),
                          kit::MessageIcon::None);
    else
        messages_.Message(
            this,
            kit::Q(result.error().Full()).replace(QStringLiteral("\r\n"), QStringLiteral("\n")),
            kit::Q(kVelnetFailedCaption), kit::MessageIcon::None);
    if (result)
        accept();
    else
        reject();
}

}  // namespace velsend::gui::exchange

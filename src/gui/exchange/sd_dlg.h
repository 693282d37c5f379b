#pragma once

#include <QDialog>

#include "base/controller_model.h"
#include "core/exchange/sd_import.h"

class QCheckBox;
class QPushButton;

namespace velsend::gui::kit {
class NumberEdit;
}

namespace velsend::gui::exchange {

using namespace velsend::exchange;

// "生成数据(滚轮可修改)": the controller identifier and the first loop of an
// SD-card pack. Both edits correct themselves and step with the wheel.
class SdPackDlg : public QDialog {
    Q_OBJECT
  public:
    explicit SdPackDlg(int maxStartLoop, QWidget* parent = nullptr);

    int ControllerId() const;
    int StartLoop() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void UpdateOk();

    int maxStartLoop_;
    kit::NumberEdit* id_;
    kit::NumberEdit* start_;
    QPushButton* ok_;
};

// "导入数据(滚轮可修改)": the first loop an SD-card import overwrites and
// the sections it takes over.
class SdImportDlg : public QDialog {
    Q_OBJECT
  public:
    explicit SdImportDlg(base::SdFamily family, QWidget* parent = nullptr);

    int StartLoop() const;
    SdSections Sections() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void UpdateControls();

    int maxStartLoop_;
    kit::NumberEdit* start_;
    QCheckBox* devices_;
    QCheckBox* names_;
    QCheckBox* logic_;
    QCheckBox* phrases_;
    QPushButton* ok_;
};

}  // namespace velsend::gui::exchange

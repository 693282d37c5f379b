#pragma once

#include "gui/kit/companion_dialog.h"

#include "core/phrases/phrase_library.h"

class QPushButton;
class QTreeWidget;

namespace velsend::gui::kit {
class GbkLineEdit;
class MessageService;
class NumberEdit;
}  // namespace velsend::gui::kit

namespace velsend::gui::phrases {

using namespace velsend::phrases;

// "词库编辑": the 256 phrases of word.dat, edited one by one. Every save,
// clear and reset goes to the file at once. Modal from the menu; the device
// detail dialog keeps one beside itself (SetOwner).
class PhraseEditorDlg : public kit::CompanionDialog {
    Q_OBJECT
  public:
    PhraseEditorDlg(const velsend::store::ProjectDir& dir, kit::MessageService& messages,
                    QWidget* parent = nullptr);

    // The window that gets the activation back when this one closes.

    int CurrentNumber() const { return number_; }
    kit::NumberEdit* NumberEdit() const { return numberEdit_; }
    kit::GbkLineEdit* TextEdit() const { return textEdit_; }
    QTreeWidget* List() const { return list_; }
    QPushButton* SaveButton() const { return save_; }
    QPushButton* ClearButton() const { return clear_; }
    QPushButton* CommonButton() const { return common_; }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void ShowNumber(int number);
    void OnNumberEdited(long long value);
    void OnRowSelected();
    void OnSave();
    void OnClear();
    void OnCommon();
    // A write that failed: the dialog's text, the system's reason below it.
    void Report(const char* text, const base::Error& error);
    void FillList(bool keepTrailingSpaces);
    void SetNumberText(int number);

    velsend::store::ProjectDir dir_;
    kit::MessageService& messages_;
    PhraseImage image_{};
    int number_ = 0;
    kit::NumberEdit* numberEdit_;
    kit::GbkLineEdit* textEdit_;
    QPushButton* save_;
    QPushButton* clear_;
    QPushButton* common_;
    QTreeWidget* list_;
};

}  // namespace velsend::gui::phrases

#pragma once
#include "split/SplitPlan.h"
#include "split/ui/TUpDown.h"

#include <QDialog>
#include <QWidget>
#include <functional>

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// What the dialog edits: one row of the split window's parts list (row r shows
// part r + 1) and the hooks to that list.
struct EditSelectionContext {
    SplitPlan *Plan = nullptr;
    int Row = -1;
    QString Extension; // output extension, lower case, without dot
    // The row's check box in the parts list; the save flag when not given.
    std::function<bool(int row)> RowChecked;
    std::function<void(int row, bool checked)> SetRowChecked;
    std::function<void()> RebuildPartList;
};

// Edits the start, stop, file name, tooltip and save choice of one hand-set
// part. Times and texts take effect only on OK; the save choice takes effect at
// once, also when the dialog is then cancelled. Destroyed when closed.
class TEditSelectionForm : public QDialog {
    Q_OBJECT
public:
    TEditSelectionForm(QWidget *owner, EditSelectionContext context);
    ~TEditSelectionForm() override;

    QGroupBox *GroupBox1;
    QLineEdit *EdStartMin;
    QLineEdit *EdStartSec;
    QLineEdit *EdStopMin;
    QLineEdit *EdStopSec;
    TUpDown *UpDown1;
    TUpDown *UpDown2;
    TUpDown *UpDown3;
    TUpDown *UpDown4;
    QLineEdit *EdRename;
    QLineEdit *EdTip;
    QCheckBox *CheckNoSave;
    QLabel *lbSave;
    QPushButton *BitBtnOK;
    QPushButton *BitBtnCancel;

    void FormShow();
    void BitBtnOKClick();
    void CheckNoSaveClick();
    void BitBtnCancelClick();

protected:
    void showEvent(QShowEvent *event) override;

private:
    EditSelectionContext context_;
    bool shown_ = false;
};

// The application's one reference to the dialog; emptied when it is destroyed.
extern TEditSelectionForm *EditSelectionForm;

#include "split/ui/TEditSelectionForm.h"
#include "base/FileNames.h"

#include "base/PlatformServices.h"
#include "split/SplitPointEditor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <optional>

TEditSelectionForm *EditSelectionForm = nullptr;

TEditSelectionForm::TEditSelectionForm(QWidget *owner, EditSelectionContext context)
    : QDialog(owner, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                         | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint),
      context_(std::move(context))
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("EditSelectionForm");
    setWindowTitle("Edit Selection");
    setModal(true);

    GroupBox1 = new QGroupBox("Edit this selection", this);
    GroupBox1->setObjectName("GroupBox1");

    auto makeEdit = [this](const char *name) {
        auto *edit = new QLineEdit("0", GroupBox1);
        edit->setObjectName(name);
        edit->setFixedWidth(40);
        return edit;
    };
    EdStartMin = makeEdit("EdStartMin");
    EdStartSec = makeEdit("EdStartSec");
    EdStopMin = makeEdit("EdStopMin");
    EdStopSec = makeEdit("EdStopSec");
    UpDown1 = new TUpDown(EdStartMin, 0, 100, 0, 1, GroupBox1);
    UpDown2 = new TUpDown(EdStartSec, 0, 100, 0, 1, GroupBox1);
    UpDown3 = new TUpDown(EdStopMin, 0, 100, 0, 1, GroupBox1);
    UpDown4 = new TUpDown(EdStopSec, 0, 100, 0, 1, GroupBox1);
    UpDown1->setObjectName("UpDown1");
    UpDown2->setObjectName("UpDown2");
    UpDown3->setObjectName("UpDown3");
    UpDown4->setObjectName("UpDown4");

    EdRename = new QLineEdit(GroupBox1);
    EdRename->setObjectName("EdRename");
    EdTip = new QLineEdit(GroupBox1);
    EdTip->setObjectName("EdTip");
    CheckNoSave = new QCheckBox("Save this selection", GroupBox1);
    CheckNoSave->setObjectName("CheckNoSave");
    CheckNoSave->setChecked(true);
    lbSave = new QLabel("This selection will be saved.", GroupBox1);
    lbSave->setObjectName("lbSave");

    auto *grid = new QGridLayout(GroupBox1);
    auto pair = [](QLineEdit *edit, TUpDown *upDown) {
        auto *row = new QHBoxLayout;
        row->setSpacing(0);
        row->addWidget(edit);
        row->addWidget(upDown);
        row->addStretch();
        return row;
    };
    grid->addWidget(new QLabel("Minutes", GroupBox1), 0, 1);
    grid->addWidget(new QLabel("Seconds", GroupBox1), 0, 2);
    grid->addWidget(new QLabel("Start at", GroupBox1), 1, 0);
    grid->addLayout(pair(EdStartMin, UpDown1), 1, 1);
    grid->addLayout(pair(EdStartSec, UpDown2), 1, 2);
    grid->addWidget(new QLabel("Stop at", GroupBox1), 2, 0);
    grid->addLayout(pair(EdStopMin, UpDown3), 2, 1);
    grid->addLayout(pair(EdStopSec, UpDown4), 2, 2);
    grid->addWidget(new QLabel("Rename:", GroupBox1), 3, 0);
    grid->addWidget(EdRename, 3, 1, 1, 2);
    grid->addWidget(new QLabel("Tooltip", GroupBox1), 4, 0);
    grid->addWidget(EdTip, 4, 1, 1, 2);
    grid->addWidget(CheckNoSave, 5, 0, 1, 3);
    grid->addWidget(lbSave, 6, 0, 1, 3);

    BitBtnOK = new QPushButton("OK", this);
    BitBtnOK->setObjectName("BitBtnOK");
    BitBtnOK->setAutoDefault(false);
    BitBtnCancel = new QPushButton("Cancel", this);
    BitBtnCancel->setObjectName("BitBtnCancel");
    BitBtnCancel->setAutoDefault(false);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtnOK);
    buttons->addWidget(BitBtnCancel);
    auto *main = new QVBoxLayout(this);
    main->addWidget(GroupBox1);
    main->addLayout(buttons);
    setFixedSize(323, 265);

    // toggled, not clicked: a change made by code or by the keyboard must
    // reach the list and the plan just as a click does.
    connect(CheckNoSave, &QCheckBox::toggled, this, &TEditSelectionForm::CheckNoSaveClick);
    connect(BitBtnOK, &QPushButton::clicked, this, &TEditSelectionForm::BitBtnOKClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &TEditSelectionForm::BitBtnCancelClick);
}

TEditSelectionForm::~TEditSelectionForm()
{
    if (EditSelectionForm == this)
        EditSelectionForm = nullptr;
}

void TEditSelectionForm::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TEditSelectionForm::FormShow()
{
    const SplitPlan *plan = context_.Plan;
    const int sel = context_.Row;
    if (!plan || sel < 0 || sel + 1 >= int(plan->TimePoints.size()))
        return;
    GroupBox1->setTitle("Edit Selection " + QString::number(sel + 1));
    const int32_t start = plan->TimePoints[sel];
    const int32_t stop = plan->TimePoints[sel + 1];
    EdStartMin->setText(QString::number(start / 60));
    EdStartSec->setText(QString::number(start % 60));
    EdStopMin->setText(QString::number(stop / 60));
    EdStopSec->setText(QString::number(stop % 60));
    const bool first = sel == 0;
    const bool last = sel + 2 == int(plan->TimePoints.size());
    for (QWidget *w : {static_cast<QWidget *>(EdStartMin), static_cast<QWidget *>(UpDown1),
                       static_cast<QWidget *>(EdStartSec), static_cast<QWidget *>(UpDown2)})
        w->setEnabled(!first);
    for (QWidget *w : {static_cast<QWidget *>(EdStopMin), static_cast<QWidget *>(UpDown3),
                       static_cast<QWidget *>(EdStopSec), static_cast<QWidget *>(UpDown4)})
        w->setEnabled(!last);
    const int k = sel + 1;
    EdRename->setText(WithoutExtension(k < plan->PartNames.size() ? plan->PartNames[k] : QString()));
    EdTip->setText(k < plan->PartTips.size() ? plan->PartTips[k] : QString());
    const bool checked = context_.RowChecked ? context_.RowChecked(sel)
                                             : (k < plan->PartSaveFlags.size() && plan->PartSaveFlags[k]);
    CheckNoSave->setChecked(checked);
}

void TEditSelectionForm::CheckNoSaveClick()
{
    const bool save = CheckNoSave->isChecked();
    const int sel = context_.Row;
    if (context_.Plan && sel >= 0) {
        if (context_.SetRowChecked)
            context_.SetRowChecked(sel, save);
        QList<bool> &flags = context_.Plan->PartSaveFlags;
        if (flags.size() <= sel + 1)
            flags.resize(sel + 2);
        flags[sel + 1] = save;
    }
    lbSave->setText(save ? "This selection will be saved" : "This selection will be ignored");
}

void TEditSelectionForm::BitBtnOKClick()
{
    // The four times in the order they are read; the first that is not a
    // whole number stops the check with the conversion error.
    int32_t values[4] = {};
    QLineEdit *const edits[4] = {EdStartMin, EdStartSec, EdStopMin, EdStopSec};
    for (int i = 0; i < 4; ++i) {
        const std::optional<int32_t> v = ParseWholeNumber(edits[i]->text());
        if (!v) {
            Platform().ErrorBox(ErrorBoxText(InvalidIntegerText(edits[i]->text())));
            return;
        }
        values[i] = *v;
    }
    if (!context_.Plan)
        return;
    SplitPointEditor::SelectionEdit edit;
    // Seconds above 59 carry into minutes.
    edit.start = int64_t(values[0]) * 60 + values[1];
    edit.stop = int64_t(values[2]) * 60 + values[3];
    edit.name = EdRename->text();
    edit.tip = EdTip->text();
    const QString problem = SplitPointEditor::CheckSelectionEdit(*context_.Plan, context_.Row, edit);
    if (!problem.isEmpty()) {
        Platform().InformationBox(problem);
        return;
    }
    SplitPointEditor::ApplySelectionEdit(*context_.Plan, context_.Row, edit, context_.Extension);
    if (context_.RebuildPartList)
        context_.RebuildPartList();
    accept();
}

void TEditSelectionForm::BitBtnCancelClick()
{
    reject();
}

#include "merge/ui/TId3TagForm.h"

#include "base/PlatformServices.h"
#include "audio/TAudioInformation2.h"
#include "merge/MergeEngine.h"
#include "base/TagYear.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TId3TagForm *Id3TagForm = nullptr;

TId3TagForm::TId3TagForm(QWidget *owner, TAudioInformation2 &info, MergeTagFields &mergeTag)
    : QDialog(owner, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      info_(info), mergeTag_(mergeTag)
{
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName("Id3TagForm");
    setWindowTitle("Edit ID3 Tag information");
    setFixedSize(361, 327);

    GroupBox1 = new QGroupBox("ID3 Tag", this);
    GroupBox1->setObjectName("GroupBox1");
    Label5 = new QLabel("Please input ID3 Tag information of the merge file:", GroupBox1);
    Label5->setObjectName("Label5");
    auto *grid = new QGridLayout;
    auto addEdit = [&](int row, const char *caption, const char *name) {
        auto *label = new QLabel(caption, GroupBox1);
        auto *edit = new QLineEdit(GroupBox1);
        edit->setObjectName(name);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row, 1);
        return edit;
    };
    EdTitle = addEdit(0, "Title", "EdTitle");
    EdArtist = addEdit(1, "Artist", "EdArtist");
    EdAlbum = addEdit(2, "Album", "EdAlbum");
    EdYear = addEdit(3, "Year", "EdYear");
    EdComment = addEdit(4, "Comment", "EdComment");
    auto *groupLayout = new QVBoxLayout(GroupBox1);
    groupLayout->addWidget(Label5);
    groupLayout->addLayout(grid);

    BitBtnOK = new QPushButton("OK", this);
    BitBtnOK->setObjectName("BitBtnOK");
    BitBtnOK->setDefault(true);
    BitBtnCancel = new QPushButton("Cancel", this);
    BitBtnCancel->setObjectName("BitBtnCancel");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtnOK);
    buttons->addWidget(BitBtnCancel);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(GroupBox1);
    layout->addStretch(); // the fixed height's spare room goes above the buttons
    layout->addLayout(buttons);

    connect(BitBtnOK, &QPushButton::clicked, this, &TId3TagForm::BitBtnOKClick);
    connect(BitBtnCancel, &QPushButton::clicked, this, &TId3TagForm::BitBtnCancelClick);
}

TId3TagForm::~TId3TagForm()
{
    if (Id3TagForm == this)
        Id3TagForm = nullptr;
}

void TId3TagForm::BitBtnOKClick()
{
    info_.setInfoTitle(EdTitle->text());
    info_.setInfoArtist(EdArtist->text());
    info_.setInfoAlbum(EdAlbum->text());
    mergeTag_.title = EdTitle->text();
    mergeTag_.artist = EdArtist->text();
    mergeTag_.album = EdAlbum->text();

    const std::optional<int32_t> year = ParseTagYear(EdYear->text());
    if (!year) {
        Platform().InformationBox("Please input correct Year!");
        return;
    }
    info_.setInfoYear(*year);
    mergeTag_.year = *year;

    info_.setInfoComments(EdComment->text());
    mergeTag_.comment = EdComment->text();
    Confirmed = true;
    accept();
}

void TId3TagForm::BitBtnCancelClick() { reject(); }

void TId3TagForm::FormClose()
{
    if (closed_)
        return;
    closed_ = true;
    if (!Confirmed)
        emit closedWithoutOk();
    if (Id3TagForm == this)
        Id3TagForm = nullptr;
}

// accept(), reject() and Escape end here; the title-bar button ends in closeEvent.
void TId3TagForm::done(int result)
{
    FormClose();
    QDialog::done(result);
}

void TId3TagForm::closeEvent(QCloseEvent *event)
{
    FormClose();
    QDialog::closeEvent(event);
}

#pragma once
#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class TAudioInformation2;
struct MergeTagFields;

// Asks the tag the merged file is to carry. OK stores the values in the merge
// window's information component and in its MergeTag; closing without a
// successful OK emits closedWithoutOk, on which the merge window unticks
// "Enable ID3 Tag". Destroyed on close.
class TId3TagForm : public QDialog {
    Q_OBJECT
public:
    TId3TagForm(QWidget *owner, TAudioInformation2 &info, MergeTagFields &mergeTag);
    ~TId3TagForm() override;

    bool Confirmed = false;

    QGroupBox *GroupBox1;
    QLabel *Label5;
    QLineEdit *EdTitle;
    QLineEdit *EdArtist;
    QLineEdit *EdAlbum;
    QLineEdit *EdYear;
    QLineEdit *EdComment;
    QPushButton *BitBtnOK;
    QPushButton *BitBtnCancel;

public slots:
    void BitBtnOKClick();
    void BitBtnCancelClick();

signals:
    void closedWithoutOk();

protected:
    void closeEvent(QCloseEvent *event) override;
    void done(int result) override;

private:
    void FormClose();

    TAudioInformation2 &info_;
    MergeTagFields &mergeTag_;
    bool closed_ = false;
};

// The application's one reference to this window class; emptied when the
// dialog is destroyed.
extern TId3TagForm *Id3TagForm;

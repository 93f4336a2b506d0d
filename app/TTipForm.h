#pragma once
#include <QDialog>
#include <QStringList>

class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QTextEdit;

// Tip of the day: shows one tip from tips.txt beside the executable, the one
// after the tip shown last, and lets the user switch the start-up display off.
// Its state is the section "tips" of setup.ini: tipno (1-based number of the
// tip shown last) and showtip (1: show at start-up). Both are written only by
// "Close"; the close box writes nothing.
class TTipForm : public QDialog {
    Q_OBJECT
public:
    explicit TTipForm(QWidget *owner);
    ~TTipForm() override;

    // Text shown when tips.txt is missing or holds no tip.
    static const QString NoTipsText;

    QFrame *Bevel1;
    QFrame *Panel1;
    QLabel *Image1;
    QLabel *Label1;
    QTextEdit *RichEdit1;
    QCheckBox *CheckBox1;
    QPushButton *BtnNext;
    QPushButton *BtnClose;

    void FormCreate();
    void BtnNextClick();
    // Throws std::runtime_error("Unable to write to <path>") when setup.ini
    // cannot be written; the dialog then stays open.
    void BtnCloseClick();

    // Number of the tip on display (the tipno "Close" stores).
    int TipNumber() const { return tipNumber_; }
    int TipCount() const { return static_cast<int>(tips_.size()); }

private:
    void ShowTip(int number);

    QString configPath_;
    QStringList tips_; // non-empty lines of tips.txt, in file order; tip n is tips_[n - 1]
    int tipNumber_ = 1;
    int showTip_ = 1;
};

// The application's one reference to this window class; emptied when the
// window is destroyed.
extern TTipForm *TipForm;

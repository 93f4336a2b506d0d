#pragma once
#include <QDialog>

class QFrame;
class QLabel;
class QPushButton;
class LinkLabel;

// The about box: product name and version, a link to the home page and one to
// the support address. support.ini beside the executable (section "about":
// programname, versionname, homepage) may change the texts shown; the links
// always lead to the built-in addresses.
class TAboutForm : public QDialog {
    Q_OBJECT
public:
    explicit TAboutForm(QWidget *owner);
    ~TAboutForm() override;

    static const QString DefaultProgramName; // "Quorvis"
    static const QString DefaultVersionName; // "v2.3.1"

    QFrame *Panel1;
    QFrame *Panel2;
    QFrame *Panel3;
    QLabel *Image1;
    QLabel *Label1;
    QLabel *Label2;
    QLabel *Label3;
    QLabel *Label4;
    LinkLabel *Label5;
    QLabel *Label6;
    LinkLabel *Label7;
    QPushButton *BtnClose;

    void FormCreate();
    void Label5Click();
    void Label7Click();
    void BtnCloseClick();
};

// The application's one reference to this window class; emptied when the
// window is destroyed.
extern TAboutForm *AboutForm;

#pragma once
#include <QHash>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <functional>

class QDialog;
class QFrame;
class QGroupBox;
class QLabel;
class QMenu;
class QAction;
class QPushButton;
class QTimer;
class LinkLabel;
class TSplitForm;
class TMergeForm;
class TSettingForm;
class TAboutForm;
class TTipForm;

// The launcher: the only window created at start-up. It loads the settings,
// offers the three operations, the settings dialog, help, home page, about box
// and tip of the day, and shows the tip once shortly after start-up.
class TMainForm : public QWidget {
    Q_OBJECT
public:
    explicit TMainForm(QWidget *parent = nullptr);
    ~TMainForm() override;

    // Note line texts of the controls that have one.
    static const QString NoteSplit, NoteMerge, NoteConvert, NoteSettings, NoteLink, NoteHelp, NoteExit;

    QLabel *Label1;
    QLabel *Label3;
    LinkLabel *Label2;
    QGroupBox *GroupBox1;
    QPushButton *SpeedBtnSplit;
    QPushButton *SpeedBtnMerge;
    QPushButton *SpeedBtnConvert;
    QPushButton *SpeedBtnSettings;
    QLabel *lbNote;
    QFrame *Bevel1;
    QPushButton *SpeedBtnHelp;
    QPushButton *SpeedBtnExit;
    QMenu *PopupMenu1;
    QAction *HelpContents1;
    QAction *Homepage1;
    QAction *About1;
    QAction *TipoftheDay1;
    QTimer *TimerTip;

    // Handlers, one per user action.
    void FormCreate();
    void SpeedBtnSplitClick();
    void SpeedBtnMergeClick();
    void SpeedBtnConvertClick();
    void SpeedBtnSettingsClick();
    void SpeedBtnHelpClick();
    void SpeedBtnExitClick();
    void HelpContents1Click();
    void Homepage1Click();
    void About1Click();
    void TipoftheDay1Click();
    void Label2Click();
    void TimerTipTimer();

    // The help file opened by "Help Contents...": quorvis.chm beside the
    // executable on Windows, the HTML help beside it elsewhere.
    static QString HelpFilePath();

    // How secondary windows are made and shown. The defaults create the real
    // windows with the launcher as owner and run them modally; tests replace
    // them to observe the launcher while a window is "open" or to make
    // creation fail.
    std::function<TSplitForm *(QWidget *owner)> CreateSplitForm;
    std::function<TMergeForm *(QWidget *owner)> CreateMergeForm;
    std::function<TSettingForm *(QWidget *owner)> CreateSettingForm;
    std::function<TAboutForm *(QWidget *owner)> CreateAboutForm;
    std::function<TTipForm *(QWidget *owner)> CreateTipForm;
    std::function<void(QDialog *window)> ShowModal;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void changeEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    template <class Form>
    void OpenModal(Form *&reference, const std::function<Form *(QWidget *)> &create, bool minimiseLauncher);
    void SetNote(const QString &text);
    void ClearNote();
    void PaintBackground();

    QHash<QObject *, QString> notes_; // note line text per control that has one
    QPixmap background_; // rendered each time the launcher is shown
    bool centred_ = false;
    QPointer<QDialog> workWindow_; // the split or merge window while it runs
};

// The launcher of the running application (null before it exists).
extern TMainForm *MainForm;

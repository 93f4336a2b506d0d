#include "app/Maker.h"
#include "app/QtPlatformServices.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QMessageBox>
#include <QTimer>
#include <QUrl>
#include <functional>
#include <gtest/gtest.h>

namespace {

// What the user saw of the message box `show` put up.
struct SeenBox {
    bool shown = false;
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QWidget *parent = nullptr;
};

// Runs `show`, which blocks while its box is open; once the box's own loop
// runs, reads the box and presses its OK button as the user would.
SeenBox WhileShown(const std::function<void()> &show)
{
    SeenBox seen;
    QObject context; // a box that never runs its loop leaves no stray check behind
    QTimer::singleShot(0, &context, [&seen] {
        QWidget *modal = QApplication::activeModalWidget();
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box) {
            if (modal)
                modal->close();
            return;
        }
        seen = {true, box->windowTitle(), box->text(), box->icon(), box->standardButtons(), box->parentWidget()};
        if (QAbstractButton *ok = box->button(QMessageBox::Ok))
            ok->click();
        else
            box->close();
    });
    show();
    return seen;
}

TEST(QtPlatformServices, EachBoxShowsItsCaptionIconAndTextWithOneOkButton)
{
    QtPlatformServices services;
    const QString text = "Unable to write to /x/setup.ini.";
    const struct {
        const char *kind;
        std::function<void()> show;
        QString caption;
        QMessageBox::Icon icon;
    } boxes[] = {
        {"error", [&] { services.ErrorBox(text); }, "Quorvis", QMessageBox::Critical},
        {"information", [&] { services.InformationBox(text); }, "Quorvis", QMessageBox::Information},
        {"message", [&] { services.MessageBox(text); }, "Quorvis", QMessageBox::NoIcon},
        {"captioned", [&] { services.CaptionedBox("Split", text); }, "Split", QMessageBox::Information},
    };
    for (const auto &b : boxes) {
        SCOPED_TRACE(b.kind);
        const SeenBox seen = WhileShown(b.show);
        ASSERT_TRUE(seen.shown);
        EXPECT_EQ(seen.caption, b.caption);
        EXPECT_EQ(seen.icon, b.icon);
        EXPECT_EQ(seen.text, text);
        EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
}

TEST(QtPlatformServices, QuestionBoxAsksYesOrNoAndClosingItMeansNo)
{
    QtPlatformServices services;
    bool answer = true;
    const SeenBox seen = WhileShown([&] { answer = services.QuestionBox("Split anyway?"); });
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.icon, QMessageBox::Question);
    EXPECT_EQ(seen.text, "Split anyway?");
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_FALSE(answer);
}

TEST(QtPlatformServices, ErrorBoxComesOverTheOpenDialog)
{
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    QtPlatformServices services;
    const SeenBox seen = WhileShown([&] { services.ErrorBox("Disk full."); });
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.parent, &dialog);
}

// Stands in for the desktop: records what would have been opened.
class Desktop : public QObject {
    Q_OBJECT
public:
    Desktop()
    {
        for (const char *scheme : kSchemes)
            QDesktopServices::setUrlHandler(scheme, this, "open");
    }
    ~Desktop() override
    {
        for (const char *scheme : kSchemes)
            QDesktopServices::unsetUrlHandler(scheme);
    }
    QList<QUrl> opened;

public slots:
    void open(const QUrl &url) { opened << url; }

private:
    static constexpr const char *kSchemes[] = {"file", "https", "mailto"};
};

TEST(QtPlatformServices, LinksOpenAsLinksAndPathsAsLocalFiles)
{
    Desktop desktop;
    QtPlatformServices services;
    // In a link "#" would start a fragment and "?" a query.
    const QString help = "/opt/Quorvis #2/help?/quorvis-help.html";
    const QString windowsHelp = "C:/Program Files/Quorvis/quorvis.chm";
    services.OpenPathOrUrl(MakerHomePage);
    services.OpenPathOrUrl("mailto:" + MakerSupportMail);
    services.OpenPathOrUrl(help);
    services.OpenPathOrUrl(windowsHelp);

    ASSERT_EQ(desktop.opened.size(), 4);
    EXPECT_EQ(desktop.opened[0], QUrl(MakerHomePage));
    EXPECT_EQ(desktop.opened[1].scheme(), "mailto");
    EXPECT_EQ(desktop.opened[1].path(), MakerSupportMail);
    EXPECT_TRUE(desktop.opened[2].isLocalFile());
    EXPECT_EQ(desktop.opened[2].toLocalFile(), help);
    // A drive letter is no scheme. (Off Windows, Qt puts a slash before the drive.)
    EXPECT_TRUE(desktop.opened[3].isLocalFile()) << desktop.opened[3].toString().toStdString();
    EXPECT_TRUE(desktop.opened[3].toLocalFile().endsWith(windowsHelp));
}

} // namespace

#include "qt_platform_services_test.moc"

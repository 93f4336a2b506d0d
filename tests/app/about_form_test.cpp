#include "app/LinkLabel.h"
#include "app/Maker.h"
#include "app/TAboutForm.h"
#include "tests/app/AppTestSupport.h"

#include <QCoreApplication>
#include <QEnterEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest/QTest>

namespace {

using AboutBox = ProgramDirTest;

TEST_F(AboutBox, WithoutSupportFileShowsTheBuiltInNameVersionAndHomePage)
{
    TAboutForm f(nullptr);
    EXPECT_EQ(f.windowTitle(), "About");
    EXPECT_EQ(f.size(), QSize(363, 248));
    EXPECT_EQ(f.Label1->text(), "Quorvis v2.3.1");
    EXPECT_EQ(f.Label3->text(), "v2.3.1");
    EXPECT_EQ(f.Label5->text(), MakerHomePageText);
    EXPECT_EQ(f.Label2->text(), "Version");
    EXPECT_EQ(f.Label4->text(), "HomePage");
    EXPECT_EQ(f.Label6->text(), "Technology Support");
    EXPECT_EQ(f.Label7->text(), "Technology Support");
    // Captions and values share their lines.
    EXPECT_EQ(f.Label2->y(), f.Label3->y());
    EXPECT_EQ(f.Label4->y(), f.Label5->y());
    EXPECT_EQ(f.Label6->y(), f.Label7->y());
    EXPECT_LT(f.Label2->x(), f.Label3->x());
}

TEST_F(AboutBox, SupportFileChangesTheTextsButNotThePageOpened)
{
    WriteFile("support.ini", "[About]\nVersionName=2.4\nhomepage=www.example.net\n");
    TAboutForm f(nullptr);
    EXPECT_EQ(f.Label1->text(), "Quorvis 2.4");
    EXPECT_EQ(f.Label3->text(), "2.4");
    EXPECT_EQ(f.Label5->text(), "www.example.net");

    QTest::mouseClick(f.Label5, Qt::LeftButton);
    QTest::mouseClick(f.Label7, Qt::LeftButton);
    ASSERT_EQ(platform.callsOf("openpath").size(), 2);
    EXPECT_EQ(platform.callsOf("openpath")[0].text, MakerHomePage);
    EXPECT_EQ(platform.callsOf("openpath")[1].text, "mailto:" + MakerSupportMail);
}

TEST_F(AboutBox, ProgramNameComesFromTheSupportFileToo)
{
    WriteFile("support.ini", "[about]\nprogramname=Quorvis Studio\n");
    TAboutForm f(nullptr);
    EXPECT_EQ(f.Label1->text(), "Quorvis Studio v2.3.1");
}

TEST_F(AboutBox, LinksStartBlueTurnRedWhileHoveredAndBlueAfter)
{
    TAboutForm f(nullptr);
    for (LinkLabel *link : {f.Label5, f.Label7}) {
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
        EXPECT_EQ(link->cursor().shape(), Qt::PointingHandCursor);
        QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
        QCoreApplication::sendEvent(link, &enter);
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::red));
        EXPECT_TRUE(link->font().underline());
        QEvent leave(QEvent::Leave);
        QCoreApplication::sendEvent(link, &leave);
        EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(Qt::blue));
        EXPECT_FALSE(link->font().underline());
    }
}

TEST_F(AboutBox, CloseDestroysTheBoxAndEmptiesTheReference)
{
    AboutForm = new TAboutForm(nullptr);
    QPointer<TAboutForm> guard(AboutForm);
    AboutForm->show();
    QTest::mouseClick(AboutForm->BtnClose, Qt::LeftButton);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(guard.isNull());
    EXPECT_EQ(AboutForm, nullptr);
    EXPECT_FALSE(QFileInfo::exists(PathOf("support.ini"))) << "the support file is never written";
}

} // namespace

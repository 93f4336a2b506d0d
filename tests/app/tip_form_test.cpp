#include "app/TTipForm.h"
#include "config/IniFile.h"
#include "tests/app/AppTestSupport.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QPointer>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest/QTest>
#include <memory>
#include <stdexcept>

namespace {

const QByteArray kFiveTips = "Tip one\nTip two\nTip three\nTip four\nTip five\n";

class TipDialog : public ProgramDirTest {
protected:
    std::unique_ptr<TTipForm> Open() { return std::make_unique<TTipForm>(nullptr); }
    static QString Shown(const TTipForm &form) { return form.RichEdit1->toPlainText(); }
    int StoredInt(const QString &key, int def = -99) const
    {
        return ReadIniInt(PathOf("setup.ini"), "tips", key, def);
    }
};

TEST_F(TipDialog, ShowsTheTipAfterTheStoredOneWrappingAfterTheLast)
{
    WriteFile("tips.txt", kFiveTips);
    WriteFile("setup.ini", "[tips]\ntipno=5\n");
    auto form = Open();
    EXPECT_EQ(Shown(*form), "Tip one");
    form->BtnCloseClick();
    EXPECT_EQ(StoredInt("tipno"), 1);
}

TEST_F(TipDialog, StoredNumberBeyondTheCountWrapsByRemainder)
{
    WriteFile("tips.txt", kFiveTips);
    WriteFile("setup.ini", "[tips]\ntipno=7\n");
    EXPECT_EQ(Shown(*Open()), "Tip three");
}

TEST_F(TipDialog, NextTipAdvancesAndWrapsToTheFirst)
{
    WriteFile("tips.txt", kFiveTips);
    WriteFile("setup.ini", "[tips]\ntipno=3\n");
    auto form = Open();
    EXPECT_EQ(Shown(*form), "Tip four");
    form->BtnNextClick();
    EXPECT_EQ(Shown(*form), "Tip five");
    form->BtnNextClick();
    EXPECT_EQ(Shown(*form), "Tip one");
    EXPECT_EQ(form->TipNumber(), 1);
}

TEST_F(TipDialog, WithoutStoredStateTheBoxIsCheckedAndTipTwoShows)
{
    WriteFile("tips.txt", kFiveTips);
    WriteFile("setup.ini", "[general]\nsaveformat=wav\n");
    auto form = Open();
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_EQ(Shown(*form), "Tip two");
}

TEST_F(TipDialog, EmptyLinesAreNeitherTipsNorCounted)
{
    WriteFile("tips.txt", "First\n\nSecond\r\nThird\n\n   \n");
    auto form = Open();
    EXPECT_EQ(form->TipCount(), 3);
    EXPECT_EQ(Shown(*form), "Second");
    form->BtnNextClick();
    EXPECT_EQ(Shown(*form), "Third");
    form->BtnNextClick();
    EXPECT_EQ(Shown(*form), "First");
}

TEST_F(TipDialog, NegativeStoredNumberStartsAtTheFirstTip)
{
    WriteFile("tips.txt", kFiveTips);
    WriteFile("setup.ini", "[tips]\ntipno=-4\n");
    EXPECT_EQ(Shown(*Open()), "Tip one");
}

TEST_F(TipDialog, MissingOrEmptyTipsFileSaysSoAndNextDoesNothing)
{
    for (bool createEmpty : {false, true}) {
        if (createEmpty)
            WriteFile("tips.txt", "\n\n");
        WriteFile("setup.ini", "[tips]\ntipno=3\n");
        auto form = Open();
        EXPECT_EQ(form->TipCount(), 0);
        EXPECT_EQ(Shown(*form), TTipForm::NoTipsText);
        form->BtnNextClick();
        EXPECT_EQ(Shown(*form), TTipForm::NoTipsText);
        form->BtnCloseClick();
        EXPECT_EQ(StoredInt("tipno"), 3) << "the stored position survives a missing file";
    }
    EXPECT_TRUE(platform.calls.isEmpty());
}

TEST_F(TipDialog, CloseStoresTheUncheckedBoxAsZero)
{
    WriteFile("tips.txt", kFiveTips);
    auto form = Open();
    form->CheckBox1->setChecked(false);
    form->BtnCloseClick();
    EXPECT_EQ(StoredInt("showtip"), 0);
    EXPECT_EQ(StoredInt("tipno"), 2);

    auto again = Open();
    EXPECT_FALSE(again->CheckBox1->isChecked());
    again->CheckBox1->setChecked(true);
    again->BtnCloseClick();
    EXPECT_EQ(StoredInt("showtip"), 1);
    EXPECT_EQ(StoredInt("tipno"), 3);
}

TEST_F(TipDialog, TheCloseBoxStoresNothingSoTheSameTipShowsAgain)
{
    WriteFile("tips.txt", kFiveTips);
    WriteFile("setup.ini", "[tips]\ntipno=1\nshowtip=1\n");
    const QByteArray before = ReadFile("setup.ini");
    for (int i = 0; i < 2; ++i) {
        auto *form = new TTipForm(nullptr);
        EXPECT_EQ(Shown(*form), "Tip two");
        form->CheckBox1->setChecked(false);
        form->BtnNextClick();
        QPointer<TTipForm> guard(form);
        form->show();
        form->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_TRUE(guard.isNull()) << "the closed dialog is destroyed";
    }
    EXPECT_EQ(ReadFile("setup.ini"), before);
}

TEST_F(TipDialog, UnwritableSettingsKeepTheDialogOpenWithTheError)
{
    WriteFile("tips.txt", kFiveTips);
    ASSERT_TRUE(QDir(dir.path()).mkdir("setup.ini")); // a folder cannot be written as a file
    auto form = Open();
    form->show();
    try {
        form->BtnCloseClick();
        FAIL() << "closing should report the failed write";
    } catch (const std::runtime_error &e) {
        EXPECT_EQ(QString::fromUtf8(e.what()), "Unable to write to " + ConfigFilePath());
    }
    EXPECT_TRUE(form->isVisible());

    // Pressed by the user, the same failure reaches the error box.
    QTest::mouseClick(form->BtnClose, Qt::LeftButton);
    EXPECT_EQ(platform.messages(), QStringList{"Unable to write to " + ConfigFilePath() + "."});
    EXPECT_TRUE(form->isVisible());
}

TEST_F(TipDialog, DestroyingTheDialogEmptiesTheApplicationsReference)
{
    WriteFile("tips.txt", kFiveTips);
    TipForm = new TTipForm(nullptr);
    delete TipForm;
    EXPECT_EQ(TipForm, nullptr);
}

} // namespace

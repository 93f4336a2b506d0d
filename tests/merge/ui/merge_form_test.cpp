#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include "config/IniFile.h"
#include "config/ProgramSettings.h"
#include "merge/WindowMode.h"
#include "merge/ui/TId3TagForm.h"
#include "merge/ui/TMergeForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include "audio/ui/PreviewPanel.h"
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSpinBox>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QFileInfo>
#include <QTreeWidget>
#include <QUrl>
#include <gtest/gtest.h>

#include <functional>

namespace {

class MergeFormTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectoryForTesting(dir.path());
        ProgramSettings = TProgramSettings{};
        ProgramSettings.savepath = dir.filePath("out") + "/";
        ProgramSettings.saveformat = "mp3";
        WindowMode = LauncherMode::Merge;
    }
    void TearDown() override
    {
        delete form.data();
        SetProgramDirectoryForTesting({});
    }

    TMergeForm *Open(LauncherMode mode = LauncherMode::Merge)
    {
        WindowMode = mode;
        form = new TMergeForm(nullptr);
        MergeForm = form;
        form->show();
        return form;
    }

    QStringList Rows(int column = 1) const
    {
        QStringList out;
        for (int i = 0; i < form->ListView1->topLevelItemCount(); ++i)
            out << form->ListView1->topLevelItem(i)->text(column);
        return out;
    }

    void Select(int row)
    {
        QTreeWidgetItem *item = form->ListView1->topLevelItem(row - 1);
        form->ListView1->setCurrentItem(item);
        form->ListView1Click();
    }

    QString Tone(const QString &name, double seconds)
    {
        const QString path = dir.filePath(name);
        fixtures::MakeTone(path, seconds, 22050, 1, {"-c:a", "pcm_s16le"});
        return path;
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QPointer<TMergeForm> form;
};

void DeleteLater() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

} // namespace

TEST_F(MergeFormTest, EachModeShowsItsCaptionAndOnlyItsPanel)
{
    Open(LauncherMode::Convert);
    EXPECT_EQ(form->windowTitle(), "Convert audio files");
    EXPECT_TRUE(form->TabSheet2->isVisible());
    EXPECT_FALSE(form->TabSheet1->isVisible());
    delete form.data();

    Open(LauncherMode::Merge);
    EXPECT_EQ(form->windowTitle(), "Merge audio files");
    EXPECT_TRUE(form->TabSheet1->isVisible());
    EXPECT_FALSE(form->TabSheet2->isVisible());
}

TEST_F(MergeFormTest, SavedFormatSelectsBothBoxesAndTheNameStaysUntitled)
{
    ProgramSettings.saveformat = "OGG";
    Open();
    EXPECT_EQ(form->CBFormat->currentText(), "OGG");
    EXPECT_EQ(form->cbFormat2->currentText(), "OGG");
    EXPECT_EQ(form->EdSaveFileName->text(), "Untitled");
    EXPECT_EQ(form->EdSavePath->text(), ProgramSettings.savepath);
    EXPECT_EQ(form->EdSavePath2->text(), ProgramSettings.savepath);
    EXPECT_EQ(form->StatusPanel1->text(), "");
}

TEST_F(MergeFormTest, FormatChangeRenamesTheOutput)
{
    Open();
    form->CBFormat->setCurrentIndex(1);
    EXPECT_EQ(form->EdSaveFileName->text(), "Untitled.wav");
    EXPECT_EQ(ProgramSettings.saveformat, "wav");
    form->CBFormat->setCurrentIndex(3);
    EXPECT_EQ(form->EdSaveFileName->text(), "Untitled.ogg");
    EXPECT_EQ(form->MergeFileName, "Untitled.ogg");
}

TEST_F(MergeFormTest, ChosenFolderGoesToBothEditsWithOneSeparator)
{
    Open();
    platform.folderAnswers << dir.path() << "/";
    QTest::mouseClick(form->SpeedBtnSavePath, Qt::LeftButton);
    ASSERT_EQ(platform.callsOf("folder").size(), 1);
    EXPECT_EQ(platform.callsOf("folder")[0].caption, "Select a directory to save output file");
    EXPECT_EQ(form->EdSavePath->text(), dir.path() + "/");
    EXPECT_EQ(form->EdSavePath2->text(), dir.path() + "/");
    EXPECT_EQ(ProgramSettings.savepath, dir.path() + "/");
    form->SpeedBtnSavePathClick();
    EXPECT_EQ(form->EdSavePath->text(), "/");
    form->SpeedBtnSavePathClick(); // cancelled
    EXPECT_EQ(form->EdSavePath2->text(), "/");
}

TEST_F(MergeFormTest, AddedFilesShowRowsTotalsAndEnableMerge)
{
    Open();
    const QString a = Tone("a.wav", 2.0);
    platform.openAnswers << QStringList{a, a};
    QTest::mouseClick(form->ToolBtnOpen, Qt::LeftButton);
    ASSERT_EQ(platform.callsOf("open").size(), 1);
    EXPECT_EQ(platform.callsOf("open")[0].caption, "Open files:");
    EXPECT_TRUE(platform.callsOf("open")[0].text.startsWith("All supported files"));
    EXPECT_TRUE(platform.callsOf("open")[0].text.endsWith("[multi]"));
    EXPECT_EQ(Rows(0), (QStringList{"1", "2"}));
    EXPECT_EQ(Rows(1), (QStringList{"a.wav", "a.wav"}));
    EXPECT_EQ(Rows(3), (QStringList{"00:02", "00:02"}));
    EXPECT_EQ(Rows(5), (QStringList{dir.path() + "/", dir.path() + "/"}));
    EXPECT_EQ(form->StatusPanel1->text(), " 2 file(s); Total Length:00:04; Total Size:176kb");
    EXPECT_EQ(form->StatusPanel2->text(), "Ready");
    EXPECT_TRUE(form->BitBtnMerge->isEnabled());
}

TEST_F(MergeFormTest, MoveRemoveAndRemoveAllKeepTheRowsInStep)
{
    Open();
    platform.openAnswers << QStringList{"/x/1.mp3", "/x/2.mp3", "/x/3.mp3"};
    form->ToolBtnOpenClick();
    EXPECT_EQ(Rows(2), (QStringList{"Unreadable", "Unreadable", "Unreadable"}));

    Select(3);
    form->ToolBtnMoveUpClick();
    EXPECT_EQ(Rows(), (QStringList{"1.mp3", "3.mp3", "2.mp3"}));
    EXPECT_EQ(form->ListView1->indexOfTopLevelItem(form->ListView1->selectedItems().value(0)), 1);
    Select(1);
    form->ToolBtnMoveUpClick();
    Select(3);
    form->ToolBtnMoveDownClick();
    EXPECT_EQ(Rows(), (QStringList{"1.mp3", "3.mp3", "2.mp3"}));

    Select(2);
    form->ToolBtnRemoveClick();
    EXPECT_EQ(Rows(), (QStringList{"1.mp3", "2.mp3"}));
    EXPECT_TRUE(form->ListView1->selectedItems().isEmpty());
    form->ToolBtnRemoveClick(); // nothing selected
    EXPECT_EQ(Rows().size(), 2);

    form->ToolBtnRemoveAllClick();
    EXPECT_EQ(form->ListView1->topLevelItemCount(), 0);
    EXPECT_EQ(form->StatusPanel1->text(), " 0 file(s); Total Length:00:00; Total Size:0kb");
    EXPECT_FALSE(form->BitBtnMerge->isEnabled());
}

TEST_F(MergeFormTest, ContextMenuFollowsTheSelectionAndTheMode)
{
    Open(LauncherMode::Convert);
    EXPECT_TRUE(form->AddFiles1->isEnabled());
    EXPECT_FALSE(form->StartConverting1->isEnabled());
    platform.openAnswers << QStringList{"/x/1.mp3", "/x/2.mp3"};
    form->ToolBtnOpenClick();
    Select(1);
    for (QAction *a : {form->Remove1, form->RemoveAll1, form->MoveUp1, form->MoveDown1, form->Play1, form->Pause1,
                       form->Stop1, form->StartConverting1})
        EXPECT_TRUE(a->isEnabled()) << a->objectName().toStdString();

    form->ListView1->clearSelection();
    form->PopupMenu1Popup();
    EXPECT_EQ(form->StartConverting1->text(), "Start Converting");
    EXPECT_TRUE(form->StartConverting1->isEnabled());
    EXPECT_TRUE(form->AddFiles1->isEnabled());
    for (QAction *a : {form->Remove1, form->RemoveAll1, form->MoveUp1, form->MoveDown1, form->Play1, form->Pause1,
                       form->Stop1})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    // The tool bar's Remove All still works.
    form->ToolBtnRemoveAllClick();
    EXPECT_EQ(form->ListView1->topLevelItemCount(), 0);

    WindowMode = LauncherMode::Merge;
    form->PopupMenu1Popup();
    EXPECT_EQ(form->StartConverting1->text(), "Start Merging");
}

TEST_F(MergeFormTest, FilesDroppedOnTheListAreAppended)
{
    Open();
    auto *mime = new QMimeData;
    mime->setUrls({QUrl::fromLocalFile("/x/dropped.ogg"), QUrl::fromLocalFile("/x/notes.txt"),
                   QUrl::fromLocalFile("/x/two.FLAC"), QUrl::fromLocalFile("/x/three.opus")});
    // As the file manager delivers them: the list accepts the drag, then the drop.
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->ListView1->viewport(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, mime, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(form->ListView1->viewport(), &drop);
    delete mime;
    EXPECT_EQ(Rows(), (QStringList{"dropped.ogg", "two.FLAC", "three.opus"})) << "what the open dialog offers";
    EXPECT_EQ(form->StatusPanel2->text(), "Ready");
}

TEST_F(MergeFormTest, ConvertButtonAnswersAnEmptyList)
{
    Open(LauncherMode::Convert);
    EXPECT_TRUE(form->BitBtnConvert->isEnabled());
    QTest::mouseClick(form->BitBtnConvert, Qt::LeftButton);
    EXPECT_EQ(platform.messages(), QStringList{"Please add files first!"});
}

TEST_F(MergeFormTest, CancelOrEscapeOnAnIdleWindowClosesAndForgetsIt)
{
    for (bool escape : {false, true}) {
        Open();
        if (escape)
            QTest::keyClick(form, Qt::Key_Escape);
        else
            QTest::mouseClick(form->BitBtnCancel, Qt::LeftButton);
        DeleteLater();
        EXPECT_TRUE(form.isNull()) << escape;
        EXPECT_EQ(MergeForm, nullptr);
    }
}

TEST_F(MergeFormTest, MinimisingMinimisesTheOwner)
{
    QWidget owner;
    owner.show();
    form = new TMergeForm(&owner);
    form->show();
    form->setWindowState(Qt::WindowMinimized);
    EXPECT_TRUE(owner.windowState() & Qt::WindowMinimized);
    delete form.data();
}

TEST_F(MergeFormTest, CancelDuringAMergeClosesTheWindowAfterTheRun)
{
    Open();
    const QString a = Tone("a.wav", 3.0);
    const QString b = Tone("b.wav", 3.0);
    platform.openAnswers << QStringList{a, b};
    form->ToolBtnOpenClick();
    form->CBFormat->setCurrentIndex(1);
    bool disabledDuringRun = false;
    QTimer::singleShot(0, form, [&] {
        disabledDuringRun = !form->ToolBar1->isEnabled() && !form->BitBtnMerge->isEnabled()
            && form->EdSaveFileName->isEnabled();
        QTest::mouseClick(form->BitBtnCancel, Qt::LeftButton);
    });
    QTest::mouseClick(form->BitBtnMerge, Qt::LeftButton);
    EXPECT_TRUE(disabledDuringRun);
    EXPECT_EQ(platform.messages(), QStringList{"Cancel merging files!"});
    DeleteLater();
    EXPECT_TRUE(form.isNull());
    EXPECT_TRUE(QFileInfo::exists(ProgramSettings.savepath + "Untitled.wav"));
}

// Escape is the Cancel button: the window stays in view until the run has
// stopped after its block, then closes.
TEST_F(MergeFormTest, EscapeDuringAMergeStopsItAndClosesTheWindowAfterTheRun)
{
    Open();
    const QString a = Tone("a.wav", 3.0);
    const QString b = Tone("b.wav", 3.0);
    platform.openAnswers << QStringList{a, b};
    form->ToolBtnOpenClick();
    form->CBFormat->setCurrentIndex(1);
    bool shownAfterEscape = false;
    QTimer::singleShot(0, form, [&] {
        QTest::keyClick(form, Qt::Key_Escape);
        // Still in view, and still locked: the run has not returned yet.
        shownAfterEscape = form && form->isVisible() && !form->BitBtnMerge->isEnabled();
    });
    QTest::mouseClick(form->BitBtnMerge, Qt::LeftButton);
    EXPECT_TRUE(shownAfterEscape);
    EXPECT_EQ(platform.messages(), QStringList{"Cancel merging files!"});
    DeleteLater();
    EXPECT_TRUE(form.isNull());
    const QString output = ProgramSettings.savepath + "Untitled.wav";
    EXPECT_LT(double(fixtures::DecodedFrames(output)) / 22050.0, 6.0);
}

TEST_F(MergeFormTest, CompletedMergeShowsEveryRowDoneAndTheGaugeFull)
{
    Open();
    const QString a = Tone("a.wav", 2.0);
    platform.openAnswers << QStringList{a, a};
    form->ToolBtnOpenClick();
    QTest::mouseClick(form->BitBtnMerge, Qt::LeftButton);
    EXPECT_EQ(platform.messages(), QStringList{"Complete merging files!"});
    EXPECT_EQ(Rows(6), (QStringList{"100%", "100%"}));
    EXPECT_EQ(form->Gauge1->value(), 100);
    EXPECT_EQ(form->StatusPanel2->text(), "Complete!");
    EXPECT_TRUE(form->BitBtnMerge->isEnabled());
    EXPECT_TRUE(form->ToolBar1->isEnabled());
    EXPECT_EQ(form->MergeFileName, "Untitled.mp3");
}

TEST_F(MergeFormTest, TagDialogWithoutOkUnticksTheBox)
{
    Open();
    QTimer::singleShot(0, form, [&] {
        ASSERT_NE(Id3TagForm, nullptr);
        EXPECT_EQ(Id3TagForm->windowTitle(), "Edit ID3 Tag information");
        QTest::mouseClick(Id3TagForm->BitBtnOK, Qt::LeftButton); // empty year
        ASSERT_NE(Id3TagForm, nullptr);
        EXPECT_TRUE(Id3TagForm->isVisible());
        QTest::mouseClick(Id3TagForm->BitBtnCancel, Qt::LeftButton);
    });
    form->CheckID3Tag->setChecked(true);
    EXPECT_EQ(platform.messages(), QStringList{"Please input correct Year!"});
    EXPECT_FALSE(form->CheckID3Tag->isChecked());
    DeleteLater();
    EXPECT_EQ(Id3TagForm, nullptr);
}

TEST_F(MergeFormTest, TagDialogOkStoresTheValues)
{
    Open();
    QTimer::singleShot(0, form, [&] {
        ASSERT_NE(Id3TagForm, nullptr);
        Id3TagForm->EdTitle->setText("Live Set");
        Id3TagForm->EdYear->setText("$7D5");
        Id3TagForm->EdComment->setText("encore");
        QTest::mouseClick(Id3TagForm->BitBtnOK, Qt::LeftButton);
    });
    form->CheckID3Tag->setChecked(true);
    EXPECT_TRUE(platform.messages().isEmpty());
    EXPECT_TRUE(form->CheckID3Tag->isChecked());
    EXPECT_EQ(form->MergeTag.title, "Live Set");
    EXPECT_EQ(form->MergeTag.year, 2005);
    EXPECT_EQ(form->MergeTag.comment, "encore");
    EXPECT_EQ(form->AudioInformation1.infoTitle(), "Live Set");
    EXPECT_EQ(form->AudioInformation1.infoYear(), 2005);
}

TEST_F(MergeFormTest, StartItemDuringAConversionStopsItAndTheWindowStays)
{
    Open(LauncherMode::Convert);
    const QString a = Tone("a.wav", 3.0);
    const QString b = Tone("b.wav", 2.0);
    platform.openAnswers << QStringList{a, b};
    form->ToolBtnOpenClick();
    form->cbFormat2->setCurrentIndex(1);
    QDir().mkpath(ProgramSettings.savepath);
    QTimer::singleShot(0, form, [&] {
        EXPECT_FALSE(form->BitBtnConvert->isEnabled());
        form->PopupMenu1Popup();
        form->StartConverting1->trigger();
        EXPECT_EQ(form->StatusPanel2->text(), "Stop");
    });
    QTest::mouseClick(form->BitBtnConvert, Qt::LeftButton);
    EXPECT_EQ(platform.messages(), QStringList{"Cancel converting files!"});
    EXPECT_EQ(form->StatusPanel2->text(), "Cancel");
    EXPECT_EQ(Rows(6), (QStringList{"Stop", ""}));
    EXPECT_TRUE(form->BitBtnConvert->isEnabled());
    EXPECT_TRUE(form->isVisible());
    EXPECT_FALSE(QFileInfo::exists(ProgramSettings.savepath + "b.wav"));
}

TEST_F(MergeFormTest, FilesAtOnceAreLockedDuringAConversionAndSavedWithIt)
{
    Open(LauncherMode::Convert);
    EXPECT_EQ(form->SpinJobs->text(), "All cores");
    form->SpinJobs->setValue(2);
    platform.openAnswers << QStringList{Tone("a.wav", 1.0), Tone("b.wav", 1.0), Tone("c.wav", 1.0)};
    form->ToolBtnOpenClick();
    form->cbFormat2->setCurrentIndex(1);
    bool lockedDuringRun = false;
    QTimer::singleShot(0, form, [&] { lockedDuringRun = !form->SpinJobs->isEnabled(); });
    QTest::mouseClick(form->BitBtnConvert, Qt::LeftButton);
    EXPECT_TRUE(lockedDuringRun);
    EXPECT_EQ(platform.messages(), QStringList{"Complete converting files!"});
    EXPECT_EQ(Rows(6), (QStringList{"100%", "100%", "100%"}));
    EXPECT_TRUE(form->SpinJobs->isEnabled());
    EXPECT_EQ(ReadIniInt(ConfigFilePath(), "general", "jobs", 0), 2);
}

// A listed file deleted meanwhile is passed over; the run ends as every run
// does, and the next run starts from an empty gauge and its own status.
TEST_F(MergeFormTest, AVanishedFileEndsItsRunWithTheSummaryAndTheNextRunStartsAfresh)
{
    struct Watching : ScriptedPlatform {
        std::function<void()> onMessageBox;
        void MessageBox(const QString &text) override
        {
            onMessageBox();
            ScriptedPlatform::MessageBox(text);
        }
    } watching;
    QList<int> gaugeAtBox;
    QStringList statusAtBox;
    Open(LauncherMode::Convert);
    watching.onMessageBox = [&] {
        gaugeAtBox << form->Gauge2->value();
        statusAtBox << form->StatusPanel2->text();
    };
    const QString a = Tone("a.wav", 1.0), b = Tone("b.wav", 1.0);
    watching.openAnswers << QStringList{a, b};
    form->ToolBtnOpenClick();
    form->cbFormat2->setCurrentIndex(1);
    form->SpinJobs->setValue(1); // the box then comes after the file before it
    QFile::remove(b);
    QTest::mouseClick(form->BitBtnConvert, Qt::LeftButton);
    EXPECT_EQ(watching.messages(), (QStringList{"Invalid input file name: " + b,
                                                "Finished converting files, but 1 of 2 file(s) could not be converted."}));
    EXPECT_EQ(Rows(6), (QStringList{"100%", "Error"}));
    EXPECT_EQ(form->StatusPanel2->text(), "Finished");
    EXPECT_TRUE(form->BitBtnConvert->isEnabled());

    QFile::remove(a);
    QTest::mouseClick(form->BitBtnConvert, Qt::LeftButton);
    EXPECT_EQ(gaugeAtBox, (QList<int>{50, 0, 0}));
    EXPECT_EQ(statusAtBox, (QStringList(3, "Converting...")));
    EXPECT_EQ(form->StatusPanel2->text(), "Finished");
}

TEST_F(MergeFormTest, ClickChoosesThePreviewFileAndAnEmptyMenuClearsIt)
{
    Open();
    platform.openAnswers << QStringList{"/x/1.mp3", "/x/2.mp3"};
    form->ToolBtnOpenClick();
    Select(2);
    EXPECT_EQ(form->Preview->PreviewFile, "/x/2.mp3");
    form->ListView1->clearSelection();
    form->PopupMenu1Popup();
    EXPECT_EQ(form->Preview->PreviewFile, "");
}

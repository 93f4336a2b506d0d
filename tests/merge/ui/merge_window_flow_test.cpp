// The merge/convert window driven end to end as a user drives it: files added
// through the open dialog, choices made on the panel, the run started with its
// button, and the outputs checked with ffprobe/ffmpeg rather than our reader.
#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include "audio/TAudioPlayer2.h"
#include "audio/ui/PreviewPanel.h"
#include "config/ProgramSettings.h"
#include "merge/WindowMode.h"
#include "merge/ui/TId3TagForm.h"
#include "merge/ui/TMergeForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMediaDevices>
#include <QAudioDevice>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeWidget>
#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {

// Generous: the sanitizer build on a loaded machine plays and encodes slowly.
constexpr int kWaitMs = 60000;

class MergeWindowFlowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectoryForTesting(dir.path());
        ProgramSettings = TProgramSettings{};
        out = dir.filePath("out") + "/";
        ProgramSettings.savepath = out;
        ProgramSettings.saveformat = "mp3";
    }
    void TearDown() override
    {
        delete form.data();
        SetProgramDirectoryForTesting({});
    }

    TMergeForm *Open(LauncherMode mode)
    {
        WindowMode = mode;
        form = new TMergeForm(nullptr);
        MergeForm = form;
        form->show();
        return form;
    }

    // A tone made by ffmpeg, with title and artist tags when a title is given.
    QString Tone(const QString &name, double seconds, int rate, int channels, QStringList codec,
                 const QString &title = {})
    {
        const QString path = dir.filePath(name);
        if (!title.isEmpty())
            codec << "-metadata" << "title=" + title << "-metadata" << "artist=Test Band";
        fixtures::MakeTone(path, seconds, rate, channels, codec);
        return path;
    }

    void AddThroughDialog(const QStringList &paths)
    {
        platform.openAnswers << paths;
        QTest::mouseClick(form->ToolBtnOpen, Qt::LeftButton);
    }

    QStringList Column(int column) const
    {
        QStringList texts;
        for (int i = 0; i < form->ListView1->topLevelItemCount(); ++i)
            texts << form->ListView1->topLevelItem(i)->text(column);
        return texts;
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QString out;
    QPointer<TMergeForm> form;
};

const QStringList kMp3 = {"-c:a", "libmp3lame", "-b:a", "128k"};
const QStringList kOgg = {"-c:a", "libvorbis"};
const QStringList kWav = {"-c:a", "pcm_s16le"};

// Every caption the user reads fits its control, and nothing overlaps.
void ExpectWholeTexts(QWidget *page)
{
    const QList<QWidget *> children = page->findChildren<QWidget *>();
    for (QWidget *w : children) {
        if (!w->isVisibleTo(page))
            continue;
        if (qobject_cast<QLabel *>(w) || qobject_cast<QAbstractButton *>(w) || qobject_cast<QComboBox *>(w)) {
            EXPECT_GE(w->width(), w->sizeHint().width()) << w->objectName().toStdString() << " is cut off";
        }
        for (QWidget *other : children) {
            if (other == w || other->parentWidget() != w->parentWidget() || !other->isVisibleTo(page))
                continue;
            EXPECT_FALSE(w->geometry().intersects(other->geometry()))
                << w->objectName().toStdString() << " overlaps " << other->objectName().toStdString();
        }
    }
}

// Saves what the user sees when QUORVIS_SCREENSHOT_DIR names a folder.
void Screenshot(QWidget *w, const QString &name)
{
    const QString folder = qEnvironmentVariable("QUORVIS_SCREENSHOT_DIR");
    if (!folder.isEmpty())
        w->grab().save(QDir(folder).filePath(name));
}

} // namespace

TEST_F(MergeWindowFlowTest, BothPanelsAndTheTagDialogShowTheirWholeTexts)
{
    const QString a = Tone("first song with a long name.mp3", 1.0, 44100, 2, kMp3);
    const QString b = Tone("b.ogg", 1.0, 48000, 1, kOgg);
    const QString c = Tone("c.wav", 1.0, 22050, 2, kWav);
    if (HasFatalFailure())
        return;

    for (LauncherMode mode : {LauncherMode::Merge, LauncherMode::Convert}) {
        Open(mode);
        AddThroughDialog({a, b, c});
        form->ListView1->setCurrentItem(form->ListView1->topLevelItem(1));
        QCoreApplication::processEvents();
        QWidget *page = mode == LauncherMode::Merge ? form->TabSheet1 : form->TabSheet2;
        ExpectWholeTexts(page);
        // The totals line and the state panel are read whole.
        EXPECT_GE(form->StatusPanel1->width(), form->StatusPanel1->sizeHint().width());
        EXPECT_GE(form->StatusPanel2->width(), form->StatusPanel2->sizeHint().width());
        EXPECT_FALSE(form->StatusPanel1->geometry().intersects(form->StatusPanel2->geometry()));
        // The list shows all its columns without scrolling sideways.
        EXPECT_LE(form->ListView1->header()->length(), form->ListView1->viewport()->width());
        // What a narrow column cuts is in the cell's tool tip.
        EXPECT_EQ(form->ListView1->topLevelItem(0)->toolTip(1), a);
        EXPECT_EQ(form->ListView1->topLevelItem(1)->toolTip(2), form->ListView1->topLevelItem(1)->text(2));
        Screenshot(form, mode == LauncherMode::Merge ? "qv-merge-mode.png" : "qv-convert-mode.png");
        delete form.data();
    }

    Open(LauncherMode::Merge);
    bool shown = false;
    QTimer::singleShot(0, form, [&] {
        ASSERT_NE(Id3TagForm, nullptr);
        shown = Id3TagForm->isVisible();
        ExpectWholeTexts(Id3TagForm);
        ExpectWholeTexts(Id3TagForm->GroupBox1);
        Screenshot(Id3TagForm, "qv-id3tag.png");
        Id3TagForm->BitBtnCancel->click();
    });
    form->CheckID3Tag->click();
    EXPECT_TRUE(shown);
}

TEST_F(MergeWindowFlowTest, MixedFormatsMergeIntoOneTaggedMp3)
{
    Open(LauncherMode::Merge);
    const QString mp3 = Tone("one.mp3", 2.0, 44100, 2, kMp3);
    const QString ogg = Tone("two.ogg", 1.5, 48000, 1, kOgg);
    const QString wav = Tone("three.wav", 1.0, 22050, 2, kWav);
    if (HasFatalFailure())
        return;
    double sum = 0;
    for (const QString &p : {mp3, ogg, wav})
        sum += fixtures::ProbeFile(p).duration;

    AddThroughDialog({mp3, ogg, wav});
    ASSERT_EQ(Column(1), (QStringList{"one.mp3", "two.ogg", "three.wav"}));
    form->EdSaveFileName->setText("Concert");

    QTimer::singleShot(0, form, [&] {
        ASSERT_NE(Id3TagForm, nullptr);
        QTest::keyClicks(Id3TagForm->EdTitle, "Whole Concert");
        QTest::keyClicks(Id3TagForm->EdArtist, "The Merged");
        QTest::keyClicks(Id3TagForm->EdAlbum, "Live Tapes");
        QTest::keyClicks(Id3TagForm->EdYear, "1999");
        QTest::keyClicks(Id3TagForm->EdComment, "three in one");
        QTest::mouseClick(Id3TagForm->BitBtnOK, Qt::LeftButton);
    });
    form->CheckID3Tag->click();
    ASSERT_TRUE(form->CheckID3Tag->isChecked());

    QTest::mouseClick(form->BitBtnMerge, Qt::LeftButton);
    EXPECT_EQ(platform.messages(), QStringList{"Complete merging files!"});
    EXPECT_EQ(Column(6), (QStringList{"100%", "100%", "100%"}));
    EXPECT_EQ(form->StatusPanel2->text(), "Complete!");

    EXPECT_EQ(QDir(out).entryList(QDir::Files), QStringList{"Concert.mp3"});
    const fixtures::Probe probe = fixtures::ProbeFile(out + "Concert.mp3");
    EXPECT_EQ(probe.codec, "mp3");
    EXPECT_EQ(probe.sampleRate, 44100);
    EXPECT_EQ(probe.channels, 2);
    // Each source's own length, resampled; encoder delay and padding stay within a block.
    const double frames = double(fixtures::DecodedFrames(out + "Concert.mp3"));
    EXPECT_NEAR(frames / 44100.0, sum, 0.1) << "sources " << sum << " s";
    EXPECT_EQ(probe.tags.value("title").toString(), "Whole Concert");
    EXPECT_EQ(probe.tags.value("artist").toString(), "The Merged");
    EXPECT_EQ(probe.tags.value("album").toString(), "Live Tapes");
    EXPECT_TRUE(probe.tags.value("date").toString().startsWith("1999")) << probe.tags.value("date").toString().toStdString();
    EXPECT_EQ(probe.tags.value("comment").toString(), "three in one");
}

TEST_F(MergeWindowFlowTest, FolderOfMixedFilesConvertsToOggWithTheirTags)
{
    Open(LauncherMode::Convert);
    struct Source {
        QString path;
        QString title;
    };
    const QList<Source> sources = {
        {Tone("a.mp3", 1.0, 44100, 2, kMp3, "Alpha"), "Alpha"},
        {Tone("b.ogg", 1.5, 48000, 1, kOgg, "Bravo"), "Bravo"},
        {Tone("c.mp3", 0.7, 22050, 1, kMp3, "Charlie"), "Charlie"},
        {Tone("d.ogg", 1.2, 44100, 2, kOgg, "Delta"), "Delta"},
        {Tone("e.wav", 0.8, 8000, 1, kWav), ""},
    };
    if (HasFatalFailure())
        return;
    QStringList paths;
    for (const Source &s : sources)
        paths << s.path;
    AddThroughDialog(paths);
    form->cbFormat2->setCurrentIndex(3);
    form->CheckId3Tag2->click();
    ASSERT_TRUE(form->CheckId3Tag2->isChecked());

    QTest::mouseClick(form->BitBtnConvert, Qt::LeftButton);
    EXPECT_EQ(platform.messages(), QStringList{"Complete converting files!"});
    EXPECT_EQ(Column(6), QStringList(sources.size(), "100%"));
    EXPECT_EQ(form->Gauge2->value(), 100);
    EXPECT_EQ(ProgramSettings.saveformat, "ogg");
    EXPECT_TRUE(form->BitBtnConvert->isEnabled());

    EXPECT_EQ(QDir(out).entryList(QDir::Files).size(), sources.size());
    for (int row = 0; row < sources.size(); ++row) {
        const Source &s = sources[row];
        const QString output = out + QFileInfo(s.path).completeBaseName() + ".ogg";
        SCOPED_TRACE(output.toStdString());
        EXPECT_EQ(form->ListView1->topLevelItem(row)->toolTip(6), output); // the file written
        const fixtures::Probe probe = fixtures::ProbeFile(output);
        EXPECT_EQ(probe.codec, "vorbis");
        EXPECT_EQ(probe.sampleRate, 44100);
        EXPECT_EQ(probe.channels, 2);
        EXPECT_NEAR(double(fixtures::DecodedFrames(output)) / 44100.0, fixtures::ProbeFile(s.path).duration, 0.06);
        if (!s.title.isEmpty()) {
            EXPECT_EQ(probe.tags.value("title").toString(), s.title);
            EXPECT_EQ(probe.tags.value("artist").toString(), "Test Band");
        }
    }
}

TEST_F(MergeWindowFlowTest, DoubleClickPlaysAndMergeStopsThePreviewFirst)
{
    if (QMediaDevices::defaultAudioOutput().isNull())
        GTEST_SKIP() << "no sound server (start the PulseAudio null sink)";
    Open(LauncherMode::Merge);
    const QString a = Tone("a.wav", 3.0, 44100, 2, kWav);
    const QString b = Tone("b.ogg", 2.0, 48000, 1, kOgg);
    if (HasFatalFailure())
        return;
    AddThroughDialog({a, b});
    form->CBFormat->setCurrentIndex(1); // WAV

    const auto doubleClickRow = [&](int row) {
        QTreeWidgetItem *item = form->ListView1->topLevelItem(row - 1);
        const QPoint at = form->ListView1->visualItemRect(item).center();
        QTest::mouseClick(form->ListView1->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(form->ListView1->viewport(), Qt::LeftButton, {}, at);
    };
    doubleClickRow(1);
    EXPECT_EQ(form->Preview->PreviewFile, a);
    EXPECT_TRUE(form->Preview->PreviewActive);
    EXPECT_EQ(form->StatusPanel2->text(), "Playing...");
    // The player asks for more blocks: it really plays.
    const int64_t started = form->Preview->PreviewStartSample;
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->AudioPlayer1->PlayedSamples() > started; }, kWaitMs));

    form->ListView1Click();
    form->Stop1->trigger();
    EXPECT_FALSE(form->Preview->PreviewActive);
    EXPECT_EQ(form->StatusPanel2->text(), "Stop");

    doubleClickRow(2);
    ASSERT_TRUE(form->Preview->PreviewActive);
    EXPECT_EQ(form->Preview->PreviewFile, b);
    bool previewStoppedDuringRun = false;
    // The gauge moves after every block: a look at the preview from inside the run.
    int blocks = 0;
    const auto probe = QObject::connect(form->Gauge1, &QProgressBar::valueChanged, form, [&] {
        if (blocks++ == 0)
            previewStoppedDuringRun = form->Merging() && !form->Preview->PreviewActive;
    });
    // An impatient second press, delivered while the player winds down,
    // finds the merge already running and starts nothing.
    bool lockedWhileStopping = false;
    QTimer::singleShot(0, form, [&] {
        lockedWhileStopping = form->Merging() && !form->BitBtnMerge->isEnabled();
        form->StartConverting1->trigger();
        form->BitBtnMergeClick();
    });
    QTest::mouseClick(form->BitBtnMerge, Qt::LeftButton);
    QObject::disconnect(probe);
    EXPECT_TRUE(lockedWhileStopping);
    EXPECT_GT(blocks, 0);
    EXPECT_TRUE(previewStoppedDuringRun);
    EXPECT_FALSE(form->Preview->PreviewActive);
    EXPECT_EQ(platform.messages(), QStringList{"Complete merging files!"});
    EXPECT_NEAR(double(fixtures::DecodedFrames(out + "Untitled.wav")) / 44100.0, 5.0, 0.05);
    // Idle again: the preview plays once more.
    doubleClickRow(1);
    EXPECT_EQ(form->StatusPanel2->text(), "Playing...");
}

// Output format (item of the format box), its extension, and a file size
// limit below the whole output: the WAV output outgrows the writer's buffer
// and fails while blocks are written, the compressed ones (a pure tone packs
// small) when the file is closed at the end.
struct DiskFullCase {
    int formatIndex;
    const char *extension;
    rlim_t limitBytes;
};

class MergeWindowDiskFullTest : public MergeWindowFlowTest, public ::testing::WithParamInterface<DiskFullCase> {};

TEST_P(MergeWindowDiskFullTest, DiskFullDuringAMergeNamesTheOutputAndRemovesIt)
{
    Open(LauncherMode::Merge);
    const QString a = Tone("a.wav", 3.0, 44100, 2, kWav);
    const QString b = Tone("b.wav", 3.0, 44100, 2, kWav);
    if (HasFatalFailure())
        return;
    AddThroughDialog({a, b});
    form->CBFormat->setCurrentIndex(GetParam().formatIndex);
    QDir().mkpath(out);

    // A file size limit makes the disk "full" for this process.
    rlimit old{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = GetParam().limitBytes;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    QTest::mouseClick(form->BitBtnMerge, Qt::LeftButton);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    const QString output = out + "Untitled." + GetParam().extension;
    ASSERT_EQ(platform.callsOf("error").size(), 1) << platform.messages().join(" | ").toStdString();
    EXPECT_TRUE(platform.callsOf("error")[0].text.contains(output)) << platform.callsOf("error")[0].text.toStdString();
    EXPECT_EQ(platform.messages().size(), 1);
    EXPECT_FALSE(QFileInfo::exists(output));
    EXPECT_NE(form->StatusPanel2->text(), "Complete!");
    EXPECT_TRUE(Column(6).contains("Error")) << Column(6).join(" ").toStdString();
    // Idle again, and a second try without the limit succeeds.
    EXPECT_FALSE(form->Merging());
    EXPECT_TRUE(form->BitBtnMerge->isEnabled());
    EXPECT_TRUE(form->ToolBar1->isEnabled());
    EXPECT_TRUE(form->CBFormat->isEnabled());
    QTest::mouseClick(form->BitBtnMerge, Qt::LeftButton);
    EXPECT_EQ(platform.messages().last(), "Complete merging files!");
    EXPECT_NEAR(double(fixtures::DecodedFrames(output)) / 44100.0, 6.0, 0.06);
}

INSTANTIATE_TEST_SUITE_P(Formats, MergeWindowDiskFullTest,
                         ::testing::Values(DiskFullCase{1, "wav", 300000}, DiskFullCase{0, "mp3", 40000},
                                           DiskFullCase{3, "ogg", 10000}),
                         [](const auto &param) { return std::string(param.param.extension); });

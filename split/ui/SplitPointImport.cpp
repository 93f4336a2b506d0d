#include "split/ui/SplitPointImport.h"

#include "audio/AudioError.h"
#include "audio/TAudioInformation2.h"
#include "base/PlatformServices.h"
#include "audio/Chapters.h"
#include "split/ChapterSplit.h"
#include "split/CueSheet.h"
#include "split/ui/TSilenceForm.h"
#include "split/ui/TWaveformEditorForm.h"

#include <QAbstractButton>
#include <QDir>
#include <QFileInfo>
#include <QProgressDialog>

SplitPointImport::SplitPointImport(QWidget *window, SplitPlan &plan, const TAudioInformation2 &info,
                                     QAbstractButton *importCue, QAbstractButton *detectSilences,
                                     std::function<QString()> extension, std::function<void()> planReplaced)
    : QObject(window), window_(window), plan_(plan), info_(info), extension_(std::move(extension)),
      planReplaced_(std::move(planReplaced))
{
    setObjectName("SplitPointImport");
    importCue->setText("Import CUE...");
    importCue->setToolTip("Split at the tracks of a CUE sheet");
    detectSilences->setText("Detect Silences...");
    detectSilences->setToolTip("Split at the silences of the file");
    connect(importCue, &QAbstractButton::clicked, this, &SplitPointImport::BitBtnImportCueClick);
    connect(detectSilences, &QAbstractButton::clicked, this, &SplitPointImport::BitBtnDetectSilencesClick);
}

void SplitPointImport::AddWaveformEditor(QAbstractButton *button, std::function<void()> beforeOpen)
{
    beforeEditor_ = std::move(beforeOpen);
    button->setText("Waveform Editor...");
    button->setToolTip("Choose the split points on the waveform");
    connect(button, &QAbstractButton::clicked, this, &SplitPointImport::BitBtnWaveformEditorClick);
}

void SplitPointImport::AddChapterImport(QAbstractButton *button)
{
    button->setText("Import Chapters");
    button->setToolTip("Split at the chapters of the file");
    connect(button, &QAbstractButton::clicked, this, &SplitPointImport::BitBtnImportChaptersClick);
}

void SplitPointImport::BitBtnImportChaptersClick()
{
    SplitPlan next = plan_;
    try {
        if (ApplyChapters(next, ReadChapters(plan_.SourcePath), info_.TotalSamples(), info_.SampleRate(),
                          extension_()) == 0) {
            Platform().InformationBox(NoChaptersText(plan_.SourcePath));
            return;
        }
    } catch (const AudioError &e) {
        Platform().InformationBox(e.text());
        return;
    }
    plan_ = next;
    planReplaced_();
}

void SplitPointImport::BitBtnWaveformEditorClick()
{
    if (beforeEditor_)
        beforeEditor_();
    const WaveformEditorSource source{plan_.SourcePath, info_.TotalSamples(), info_.SampleRate(), info_.Channels()};
    TWaveformEditorForm form(window_, plan_, source, extension_());
    if (form.exec() != QDialog::Accepted)
        return;
    plan_ = form.EditedPlan();
    planReplaced_();
}

void SplitPointImport::BitBtnImportCueClick()
{
    const QStringList chosen = Platform().OpenFiles("Import a CUE sheet", "CUE sheets (*.cue);;All files (*)", false);
    if (chosen.isEmpty())
        return;
    // Worked on a copy: a sheet refused half way leaves the user's parts as they were.
    SplitPlan next = plan_;
    try {
        const CueSheet sheet = ReadCueSheet(chosen.first());
        if (!CueNamesSource(sheet, plan_.SourcePath)
            && !Platform().QuestionBox(QString("The CUE sheet %1 is written for \"%2\", not for %3.\n"
                                               "Split %3 at its tracks anyway?")
                                           .arg(QDir::toNativeSeparators(sheet.path), sheet.fileEntry,
                                                QFileInfo(plan_.SourcePath).fileName())))
            return;
        ApplyCueSheet(next, sheet, info_.TotalSamples(), info_.SampleRate(), extension_());
    } catch (const CueSheetError &e) {
        Platform().InformationBox(e.text());
        return;
    }
    plan_ = next;
    planReplaced_();
}

void SplitPointImport::BitBtnDetectSilencesClick()
{
    TSilenceForm form(window_, silence_);
    if (form.exec() != QDialog::Accepted)
        return;
    silence_ = form.Settings();

    // Window-modal: the wizard cannot be closed or changed under the search,
    // and its Cancel stops it.
    QProgressDialog progress("Detecting silences...", "Cancel", 0, 100, window_);
    progress.setObjectName("SilenceProgress");
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    std::optional<std::vector<SilentStretch>> found;
    try {
        found = FindSilences(plan_.SourcePath, silence_, [&progress](int percent) {
            progress.setValue(percent);
            return !progress.wasCanceled();
        });
    } catch (const AudioError &e) {
        progress.close();
        Platform().ErrorBox(ErrorBoxText(e.text()));
        return;
    }
    progress.close();
    if (!found)
        return;
    SplitPlan next = plan_;
    const std::vector<SilentStretch> chosen = ChooseTrackSilences(*found, info_.TotalSamples(), silence_.tracks);
    if (ApplySilences(next, chosen, info_.TotalSamples(), info_.SampleRate(), silence_.dropSilences, extension_()) == 0) {
        Platform().InformationBox(QString("No silence of at least %1 s below %2 dB was found between sounds.")
                                      .arg(silence_.minSeconds).arg(silence_.thresholdDb));
        return;
    }
    plan_ = next;
    planReplaced_();
}

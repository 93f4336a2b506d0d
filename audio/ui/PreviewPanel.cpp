#include "audio/ui/PreviewPanel.h"

#include "audio/MulDiv.h"
#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "audio/TAudioPlayer2.h"
#include "audio/ui/TNCTPlayButtonB2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "audio/ui/TNCTTimeDisplay2.h"

#include <algorithm>

namespace {
constexpr int kBlockMs = 200;
constexpr int kSliderMax = 1000;
constexpr int kSeekMode = 3;
} // namespace

PreviewPanel::PreviewPanel(PreviewVariant variant, TAudioFile2 &FileR_, TAudioInformation2 &Information_,
                             TAudioPlayer2 &AudioPlayer1_, TNCTPlayButtonB2 *NCTPlayButtonB1_,
                             TNCTSliderB2 *NCTSliderB1_, TNCTTimeDisplay2 *NCTTimeDisplay1_, StatusText status,
                             QObject *parent)
    : QObject(parent), variant_(variant), FileR(FileR_), Information(Information_), AudioPlayer1(AudioPlayer1_),
      NCTPlayButtonB1(NCTPlayButtonB1_), NCTSliderB1(NCTSliderB1_),
      NCTTimeDisplay1(variant == PreviewVariant::SplitWizard ? NCTTimeDisplay1_ : nullptr), status_(std::move(status))
{
    if (NCTPlayButtonB1)
        connect(NCTPlayButtonB1, &TNCTPlayButtonB2::OnMouseClick, this, &PreviewPanel::NCTPlayButtonB1MouseClick);
    if (NCTSliderB1) {
        connect(NCTSliderB1, &TNCTSliderB2::OnMouseDown, this, &PreviewPanel::NCTSliderB1MouseDown);
        connect(NCTSliderB1, &TNCTSliderB2::OnMouseUp, this, &PreviewPanel::NCTSliderB1MouseUp);
        connect(NCTSliderB1, &TNCTSliderB2::OnValueChange, this, &PreviewPanel::NCTSliderB1ValueChange);
    }
    connect(&AudioPlayer1, &TAudioPlayer2::OnTimer, this, &PreviewPanel::AudioPlayer1Timer);
    connect(&AudioPlayer1, &TAudioPlayer2::OnRequestOnLoadArray, this, &PreviewPanel::AudioPlayer1RequestOnLoadArray);
    connect(&AudioPlayer1, &TAudioPlayer2::OnEndArrayPlay, this, &PreviewPanel::AudioPlayer1EndArrayPlay);
    connect(&AudioPlayer1, &TAudioPlayer2::OnEndPlay, this, &PreviewPanel::AudioPlayer1EndPlay);
}

int PreviewPanel::ElapsedSeconds() const
{
    if (!NCTTimeDisplay1)
        return 0;
    return NCTTimeDisplay1->Hours() * 3600 + NCTTimeDisplay1->Minutes() * 60 + NCTTimeDisplay1->Seconds();
}

int64_t PreviewPanel::PositionFrame() const
{
    if (!PreviewActive)
        return sliderFrame();
    return PreviewPaused ? PreviewStartSample : PreviewStartSample + AudioPlayer1.PlayedSamples();
}

int64_t PreviewPanel::sliderFrame() const
{
    const int value = NCTSliderB1 ? NCTSliderB1->Value() : 0;
    return std::max<int64_t>(0, MulDiv64(value, Information.TotalSamples(), kSliderMax));
}

void PreviewPanel::setStatus(const QString &text) const
{
    if (status_)
        status_(text);
}

void PreviewPanel::PlayPreview()
{
    if (PreviewActive && !PreviewPaused)
        return;
    if (!isSplit() && PreviewFile.isEmpty()) {
        StopPreview();
        return;
    }
    const bool resuming = PreviewActive && PreviewPaused;
    if (resuming) {
        // The reader ran ahead of what was heard; go back to the paused frame.
        FileR.Seek(PreviewStartSample, kSeekMode);
    } else {
        if (!isSplit())
            Information.LoadFile(PreviewFile);
        FileR.OpenFile(PreviewFile, 0, 1);
        if (FileR.LastError() != 0)
            return;
        PreviewStartSample = 0;
        const int64_t total = isSplit() ? Information.TotalSamples() : FileR.Length();
        if (total <= 0) {
            StopPreview();
            return;
        }
        AudioPlayer1.SetFormat(FileR.SampleRate(), FileR.Channels());
        PreviewBlockSamples = AudioPlayer1.MillisecondsToSamples(kBlockMs);
        PreviewStartSample = FileR.Seek(sliderFrame(), kSeekMode);
    }
    AudioPlayer1.Play();
    if (AudioPlayer1.LastError() != 0) {
        FileR.CloseFile();
        if (resuming) {
            // The paused run cannot go on with its reader closed: leave it
            // idle rather than seek on a closed reader at the next play.
            PreviewActive = false;
            PreviewPaused = false;
            if (NCTPlayButtonB1)
                NCTPlayButtonB1->ShowStopped();
        }
        return;
    }
    PreviewActive = true;
    PreviewPaused = false;
    FeedPreview();
    FeedPreview();
    if (NCTPlayButtonB1)
        NCTPlayButtonB1->ShowPlaying();
    setStatus(QStringLiteral("Playing..."));
}

void PreviewPanel::PausePreview()
{
    if (!PreviewActive || PreviewPaused)
        return;
    PreviewPaused = true;
    PreviewStartSample += AudioPlayer1.PlayedSamples();
    AudioPlayer1.Stop();
    if (NCTPlayButtonB1)
        NCTPlayButtonB1->ShowPaused();
    setStatus(QStringLiteral("Pause"));
}

void PreviewPanel::StopPreview()
{
    AudioPlayer1.Stop();
    FileR.CloseFile();
    PreviewActive = false;
    PreviewPaused = false;
    if (NCTSliderB1)
        NCTSliderB1->setValue(0);
    if (NCTPlayButtonB1)
        NCTPlayButtonB1->ShowStopped();
    if (NCTTimeDisplay1) {
        NCTTimeDisplay1->setSeconds(0);
        NCTTimeDisplay1->setMinutes(0);
        NCTTimeDisplay1->setHours(0);
    }
    PreviewStartSample = 0;
    setStatus(QStringLiteral("Stop"));
}

void PreviewPanel::FeedPreview()
{
    if (!PreviewActive)
        return;
    // At the end of the file the array is empty; queued all the same, it tells
    // the player that the data ends there.
    AudioPlayer1.LoadArray(FileR.ReadArray(PreviewBlockSamples));
}

void PreviewPanel::SeekPreview(int Value)
{
    if (NCTSliderB1)
        NCTSliderB1->setValue(Value);
    NCTSliderB1MouseDown();
    NCTSliderB1MouseUp();
    NCTSliderB1ValueChange(NCTSliderB1 ? NCTSliderB1->Value() : Value);
}

void PreviewPanel::NCTPlayButtonB1MouseClick(int Button)
{
    switch (Button) {
    case 1:
        PlayPreview();
        break;
    case 2:
        if (PreviewActive)
            PausePreview();
        break;
    case 3:
        if (PreviewActive)
            StopPreview();
        break;
    default:
        break;
    }
}

void PreviewPanel::NCTSliderB1MouseDown()
{
    SliderDragging = true;
    if (PreviewActive && PreviewPaused) {
        // A press ends a paused run; slider, display, start frame and the
        // "Pause" text stay until the next play opens the file again.
        PreviewActive = false;
        PreviewPaused = false;
        FileR.CloseFile();
        if (NCTPlayButtonB1)
            NCTPlayButtonB1->ShowStopped();
    }
}

void PreviewPanel::NCTSliderB1MouseUp()
{
    if (!PreviewActive) {
        SliderDragging = false;
        return;
    }
    AudioPlayer1.Stop();
    PreviewStartSample = FileR.Seek(sliderFrame(), kSeekMode);
    AudioPlayer1.Play();
    SliderDragging = false;
    if (AudioPlayer1.LastError() != 0) {
        // No output any more: a run that cannot sound is stopped rather than
        // left waiting for player events that never come.
        StopPreview();
        return;
    }
    FeedPreview();
    FeedPreview();
}

void PreviewPanel::NCTSliderB1ValueChange(int Value)
{
    if (!isSplit() || PreviewActive || !NCTTimeDisplay1)
        return;
    // Before any playback the player has no format of this file yet; the
    // information object knows it, so the display can follow the slider.
    if (Information.SampleRate() > 0 && Information.Channels() > 0)
        AudioPlayer1.SetFormat(Information.SampleRate(), Information.Channels());
    const int64_t t = AudioPlayer1.SamplesToMilliseconds(
        std::max<int64_t>(0, MulDiv64(Value, Information.TotalSamples(), kSliderMax)));
    if (t < 1000)
        NCTTimeDisplay1->setSeconds(0);
    if (t < 60000)
        NCTTimeDisplay1->setMinutes(0);
    NCTTimeDisplay1->setMilliseconds(t);
}

void PreviewPanel::AudioPlayer1Timer(qint64 CurrentSamples, int, int)
{
    const int64_t p = PreviewStartSample + CurrentSamples;
    if (NCTTimeDisplay1)
        NCTTimeDisplay1->setMilliseconds(AudioPlayer1.SamplesToMilliseconds(p));
    (void)AudioPlayer1.PeekArray(FileR.Channels() * FileR.SampleRate());
    if (SliderDragging || !NCTSliderB1)
        return;
    // MulDiv64 gives -1 for an unknown length: the slider then stays at 0.
    NCTSliderB1->setValue(static_cast<int>(std::clamp<int64_t>(MulDiv64(p, kSliderMax, Information.TotalSamples()), 0, kSliderMax)));
}

void PreviewPanel::AudioPlayer1RequestOnLoadArray() { FeedPreview(); }
void PreviewPanel::AudioPlayer1EndArrayPlay() { FeedPreview(); }
void PreviewPanel::AudioPlayer1EndPlay() { StopPreview(); }

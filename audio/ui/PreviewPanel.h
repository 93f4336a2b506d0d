#pragma once
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class TAudioFile2;
class TAudioInformation2;
class TAudioPlayer2;
class TNCTPlayButtonB2;
class TNCTSliderB2;
class TNCTTimeDisplay2;

// Which window the panel serves. The two differ only in small points:
// the merge/convert window plays the file chosen in its list (an empty choice
// stops), loads the information object on every new run, tests the reader's
// length instead of the information's TotalSamples, and has no time display.
enum class PreviewVariant { SplitWizard, MergeWindow };

// Preview playback for one window: streams 200 ms blocks from the window's
// reader to its player, two ahead, and keeps the transport strip, slider,
// time display and status text in step.
//
// States: idle (!PreviewActive), playing (PreviewActive && !PreviewPaused),
// paused (both). Positions are frames, 64-bit, so sources longer than 2^31
// frames play and seek correctly.
//
// The panel borrows everything: the window owns the reader, information
// object, player and controls and keeps them alive as long as the panel. The
// constructor connects the controls' and the player's events to the handlers
// below; the window connects its menu items and list double-click itself.
class PreviewPanel : public QObject {
    Q_OBJECT
public:
    using StatusText = std::function<void(const QString &)>;

    PreviewPanel(PreviewVariant variant, TAudioFile2 &FileR, TAudioInformation2 &Information,
                  TAudioPlayer2 &AudioPlayer1, TNCTPlayButtonB2 *NCTPlayButtonB1, TNCTSliderB2 *NCTSliderB1,
                  TNCTTimeDisplay2 *NCTTimeDisplay1, StatusText status, QObject *parent = nullptr);

    bool PreviewActive = false;
    bool PreviewPaused = false;
    bool SliderDragging = false;
    int PreviewBlockSamples = 0;  // frames per 200 ms block at the playing file's rate
    int64_t PreviewStartSample = 0; // frame of the file where the player's counts start
    QString PreviewFile;          // full path of the file to play; set by the window

    // Hours * 3600 + Minutes * 60 + Seconds of the time display; 0 without one.
    int ElapsedSeconds() const;
    // The frame of the source being heard: while playing, what the player has
    // played from where it started; paused, where it stopped; idle, where
    // the slider points.
    int64_t PositionFrame() const;

public slots:
    void PlayPreview();
    void PausePreview();
    void StopPreview();
    void FeedPreview();
    // Moves the slider to Value (0..1000) and seeks there as a user's
    // press, release and change would.
    void SeekPreview(int Value);

    void NCTPlayButtonB1MouseClick(int Button);
    void NCTSliderB1MouseDown();
    void NCTSliderB1MouseUp();
    void NCTSliderB1ValueChange(int Value);
    void AudioPlayer1Timer(qint64 CurrentSamples, int LevelLeft, int LevelRight);
    void AudioPlayer1RequestOnLoadArray();
    void AudioPlayer1EndArrayPlay();
    void AudioPlayer1EndPlay();

private:
    bool isSplit() const { return variant_ == PreviewVariant::SplitWizard; }
    int64_t sliderFrame() const; // the frame the slider points at
    void setStatus(const QString &text) const;

    PreviewVariant variant_;
    TAudioFile2 &FileR;
    TAudioInformation2 &Information;
    TAudioPlayer2 &AudioPlayer1;
    TNCTPlayButtonB2 *NCTPlayButtonB1;
    TNCTSliderB2 *NCTSliderB1;
    TNCTTimeDisplay2 *NCTTimeDisplay1;
    StatusText status_;
};

#pragma once
#include <QString>

// The one way out of a merge or conversion run: the window shows what the run
// reports, and tests record it. Every call arrives on the thread of the run.
class RunObserver {
public:
    virtual ~RunObserver() = default;

    virtual void SetGauge(int percent) = 0;
    // The status bar's second panel.
    virtual void SetStatusText(const QString &text) = 0;
    // The Status column of a row counted from 1.
    virtual void SetRowStatus(int row, const QString &text) = 0;
    // A conversion has written the file of a row counted from 1 (a stopped
    // one its shorter file): `path` is the name chosen, which may carry a
    // "New_" prefix when the first choice was taken.
    virtual void OutputWritten(int row, const QString &path) = 0;

    virtual void Information(const QString &text) = 0; // information box
    virtual void Message(const QString &text) = 0;     // plain box
    virtual void Error(const QString &text) = 0;       // the application's error box

    // Lets the window process pending events after each block; Cancel and the
    // context menu's start item run from here and may stop the run.
    virtual void Breathe() = 0;

    // The mode's controls (tool bar, format box, path and settings buttons,
    // tag box, start button, preview play button).
    virtual void SetControlsEnabled(bool on) = 0;
    // Stops the preview when it plays or is paused: it shares the reader.
    virtual void StopPreview() = 0;

    // The run's output folder (ends with a separator) and format word ("mp3",
    // "wav", "wma", "ogg") become the program's current ones.
    virtual void OutputChosen(const QString &savepath, const QString &saveformat) = 0;
    // Writes the "general" section of setup.ini; throws std::exception when it cannot.
    virtual void SaveGeneralSettings(const QString &mergeFileName) = 0;
};

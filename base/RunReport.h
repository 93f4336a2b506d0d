#pragma once
#include <QString>

// How a split, a merge or a conversion tells whoever shows it what happens:
// the window, the command line or a test. Every call arrives on the thread
// that runs the job. A run's window commands (locking its controls, stopping
// its preview, remembering its settings) are the window's own business: it
// does them when it hears that a run began or ended.
class RunReport {
public:
    virtual ~RunReport() = default;

    // The job passed its checks and starts writing; Ended follows whatever
    // the run's end. A refused job reports neither.
    virtual void Began() {}
    virtual void Ended() {}

    virtual void Progress(int percent) = 0; // 0..100, the whole job's
    // A word or two on the job's state: "Splitting...", "Complete!", "Cancel".
    virtual void Status(const QString &text) = 0;
    // The state of one file of a list counted from 1 ("42%", "Error").
    virtual void RowStatus(int /*row*/, const QString & /*text*/) {}
    // The file of a row counted from 1 was written (a stopped one its shorter
    // file) under `path`, which may carry a "New_" prefix when the first
    // choice was taken.
    virtual void OutputWritten(int /*row*/, const QString & /*path*/) {}
    // How far a run through a list has come, after each file ends: files
    // done (passed over included) and left, and the time left in seconds.
    virtual void FilesLeft(int /*done*/, int /*left*/, int /*secondsLeft*/) {}

    virtual void Information(const QString &text) = 0; // news, a refusal or the end
    virtual void Message(const QString &text) = 0;     // a plain notice
    // A failure the user must know about (file names and the reason).
    virtual void Error(const QString &text) = 0;

    // After every block: a window processes its pending events here (painting,
    // its Cancel button, which may stop the run).
    virtual void Breathe() = 0;
};

#pragma once
#include <QString>
#include <QStringList>

class QWidget;

// Everything the windows take from the platform: message boxes, file and
// folder dialogs, opening a path or link. The application installs the Qt
// implementation; tests install a scripted one that replays queued answers
// and records every call.
class PlatformServices {
public:
    virtual ~PlatformServices() = default;

    // Information icon, one OK button, the application's title as caption.
    virtual void InformationBox(const QString &text) = 0;
    // The application's error box: caption "Quorvis", error icon, one OK
    // button, showing text as given (callers apply ErrorBoxText).
    virtual void ErrorBox(const QString &text) = 0;
    // A plain message box (no icon) with the application's title, one OK button.
    virtual void MessageBox(const QString &text) = 0;
    // A box with the given caption, information icon, one OK button.
    virtual void CaptionedBox(const QString &caption, const QString &text) = 0;
    // A question with Yes and No buttons (question icon, the application's
    // title as caption); true for Yes.
    virtual bool QuestionBox(const QString &text) = 0;
    // File-open dialog. filter is a Qt name filter list ("Audio (*.mp3 *.wav);;All (*)").
    // Returns the chosen paths, empty when cancelled.
    virtual QStringList OpenFiles(const QString &title, const QString &filter, bool multiSelect) = 0;
    // File-save dialog starting at suggested (a path or a bare name); asks
    // before replacing a file. Returns the chosen path, empty when cancelled.
    virtual QString SaveFile(const QString &title, const QString &filter, const QString &suggested) = 0;
    // Folder browser with a caption; empty when cancelled.
    virtual QString BrowseFolder(const QString &caption) = 0;
    // Opens a file path or a URL with its default application; the result is ignored.
    virtual void OpenPathOrUrl(const QString &pathOrUrl) = 0;
};

// The services the windows use. Never null once the application or a test has
// installed an implementation.
PlatformServices &Platform();
void SetPlatform(PlatformServices *services);

// The error box's text rule: a full stop is appended when the text ends in a
// character that sorts after ".".
QString ErrorBoxText(const QString &text);

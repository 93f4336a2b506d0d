#pragma once
#include "base/PlatformServices.h"

#include <QList>
#include <QString>
#include <QStringList>

// Platform services for tests: dialogs answer from queues (an empty queue
// answers "cancelled"), and every call is recorded for assertions.
// Installs itself on construction and restores the previous services on
// destruction.
class ScriptedPlatform : public PlatformServices {
public:
    struct Call {
        QString kind;    // "information", "error", "message", "captioned", "question", "open", "save", "folder", "openpath"
        QString caption; // captioned box caption, dialog title or folder caption
        QString text;    // message text, filter, or path/URL
    };

    ScriptedPlatform();
    ~ScriptedPlatform() override;

    QList<QStringList> openAnswers;
    QStringList folderAnswers;
    QStringList saveAnswers;
    QList<bool> questionAnswers; // an empty queue answers No
    QList<Call> calls;

    // Texts of every message box of any kind, in order.
    QStringList messages() const;
    // Recorded calls of one kind.
    QList<Call> callsOf(const QString &kind) const;

    void InformationBox(const QString &text) override;
    void ErrorBox(const QString &text) override;
    void MessageBox(const QString &text) override;
    void CaptionedBox(const QString &caption, const QString &text) override;
    bool QuestionBox(const QString &text) override;
    QStringList OpenFiles(const QString &title, const QString &filter, bool multiSelect) override;
    QString SaveFile(const QString &title, const QString &filter, const QString &suggested) override;
    QString BrowseFolder(const QString &caption) override;
    void OpenPathOrUrl(const QString &pathOrUrl) override;

private:
    PlatformServices *previous_;
};

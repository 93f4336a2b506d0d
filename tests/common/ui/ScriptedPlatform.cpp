#include "tests/common/ui/ScriptedPlatform.h"

ScriptedPlatform::ScriptedPlatform() : previous_(&Platform())
{
    SetPlatform(this);
}

ScriptedPlatform::~ScriptedPlatform()
{
    SetPlatform(previous_);
}

QStringList ScriptedPlatform::messages() const
{
    QStringList out;
    for (const Call &c : calls)
        if (c.kind == "information" || c.kind == "error" || c.kind == "message" || c.kind == "captioned"
            || c.kind == "question")
            out << c.text;
    return out;
}

QList<ScriptedPlatform::Call> ScriptedPlatform::callsOf(const QString &kind) const
{
    QList<Call> out;
    for (const Call &c : calls)
        if (c.kind == kind)
            out << c;
    return out;
}

void ScriptedPlatform::InformationBox(const QString &text) { calls << Call{"information", {}, text}; }
void ScriptedPlatform::ErrorBox(const QString &text) { calls << Call{"error", "Quorvis", text}; }
void ScriptedPlatform::MessageBox(const QString &text) { calls << Call{"message", {}, text}; }
void ScriptedPlatform::CaptionedBox(const QString &caption, const QString &text) { calls << Call{"captioned", caption, text}; }

bool ScriptedPlatform::QuestionBox(const QString &text)
{
    calls << Call{"question", {}, text};
    return !questionAnswers.isEmpty() && questionAnswers.takeFirst();
}

QStringList ScriptedPlatform::OpenFiles(const QString &title, const QString &filter, bool multiSelect)
{
    calls << Call{"open", title, filter + (multiSelect ? " [multi]" : "")};
    return openAnswers.isEmpty() ? QStringList() : openAnswers.takeFirst();
}

QString ScriptedPlatform::SaveFile(const QString &title, const QString &filter, const QString &suggested)
{
    calls << Call{"save", title, filter + " [" + suggested + "]"};
    return saveAnswers.isEmpty() ? QString() : saveAnswers.takeFirst();
}

QString ScriptedPlatform::BrowseFolder(const QString &caption)
{
    calls << Call{"folder", caption, {}};
    return folderAnswers.isEmpty() ? QString() : folderAnswers.takeFirst();
}

void ScriptedPlatform::OpenPathOrUrl(const QString &pathOrUrl) { calls << Call{"openpath", {}, pathOrUrl}; }

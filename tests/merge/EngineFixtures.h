#pragma once
#include "merge/RunObserver.h"

#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <functional>

// Records everything a run reports; `onBreathe` runs after each block (the
// count starts at 1), which is where a test presses Cancel.
class RecordingObserver : public RunObserver {
public:
    struct Box {
        QString kind; // "information", "message", "error"
        QString text;
    };

    QList<int> gauge;
    QStringList statusTexts;
    QMap<int, QStringList> rowStatus; // every text written to a row, in order
    QList<Box> boxes;
    QList<bool> controlsEnabled;
    QStringList savedMergeNames;
    QString savepath, saveformat;
    int breaths = 0;
    int previewStops = 0;
    std::function<void(int breath)> onBreathe;

    QString lastRow(int row) const { return rowStatus.value(row).value(rowStatus.value(row).size() - 1); }
    QStringList texts(const QString &kind) const
    {
        QStringList out;
        for (const Box &b : boxes)
            if (b.kind == kind)
                out << b.text;
        return out;
    }

    void SetGauge(int percent) override { gauge << percent; }
    void SetStatusText(const QString &text) override { statusTexts << text; }
    void SetRowStatus(int row, const QString &text) override { rowStatus[row] << text; }
    void Information(const QString &text) override { boxes << Box{"information", text}; }
    void Message(const QString &text) override { boxes << Box{"message", text}; }
    void Error(const QString &text) override { boxes << Box{"error", text}; }
    void Breathe() override
    {
        ++breaths;
        if (onBreathe)
            onBreathe(breaths);
    }
    void SetControlsEnabled(bool on) override { controlsEnabled << on; }
    void StopPreview() override { ++previewStops; }
    void OutputChosen(const QString &p, const QString &f) override
    {
        savepath = p;
        saveformat = f;
    }
    void SaveGeneralSettings(const QString &mergeFileName) override { savedMergeNames << mergeFileName; }
};

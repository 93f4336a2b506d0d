#pragma once
#include "tests/common/AudioFixtures.h"

#include "audio/TAudioFile2.h"
#include "base/RunReport.h"

#include <QFile>
#include <QList>
#include <QMap>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <exception>
#include <functional>

// A 6-second CBR MP3 with 4 KB of noise over its middle: a stretch no
// decoder can read, with good audio on both sides.
inline void MakeDamagedMp3(const QString &path)
{
    fixtures::MakeTone(path, 6.0, 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
    QFile f(path);
    if (!f.open(QIODevice::ReadWrite) || !f.seek(f.size() / 2))
        return;
    QByteArray noise(4096, 0);
    uint32_t x = 12345;
    for (char &c : noise) {
        x = x * 1664525u + 1013904223u;
        c = char(x >> 24);
    }
    f.write(noise);
}

// What our reader says it could not decode of `path` when read to its end;
// empty as well when it cannot read the file at all. The damage tests skip
// on an empty answer: they check the runs' reporting, not the reader.
inline QString ReaderDamage(const QString &path)
{
    TAudioFile2 reader;
    reader.OpenFile(path);
    if (reader.LastError() != 0)
        return {};
    try {
        while (!reader.ReadArray(44100).empty()) {
        }
    } catch (const std::exception &) {
        return {};
    }
    return reader.ReadDamage();
}

// Records everything a run reports; `onBreathe` runs after each block (the
// count starts at 1), which is where a test presses Cancel.
class RecordingObserver : public RunReport {
public:
    struct Box {
        QString kind; // "information", "message", "error"
        QString text;
    };

    QList<int> gauge;
    QStringList statusTexts;
    QMap<int, QStringList> rowStatus; // every text written to a row, in order
    QMap<int, QString> written;       // the file each converted row was written to
    QList<Box> boxes;
    QStringList lifecycle; // "began", "ended"
    int breaths = 0;
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

    void Progress(int percent) override { gauge << percent; }
    void Status(const QString &text) override { statusTexts << text; }
    void RowStatus(int row, const QString &text) override { rowStatus[row] << text; }
    void OutputWritten(int row, const QString &path) override { written[row] = path; }
    void Information(const QString &text) override { boxes << Box{"information", text}; }
    void Message(const QString &text) override { boxes << Box{"message", text}; }
    void Error(const QString &text) override { boxes << Box{"error", text}; }
    void Breathe() override
    {
        ++breaths;
        if (onBreathe)
            onBreathe(breaths);
    }
    void Began() override { lifecycle << "began"; }
    void Ended() override { lifecycle << "ended"; }
};

#include "audio/AudioError.h"
#include "audio/Chapters.h"
#include "audio/Loudness.h"
#include "audio/TAudioInformation2.h"
#include "cli/Commands.h"
#include "base/TimeFormat.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cmath>
#include <cstdio>

namespace cli {
namespace {

// One decimal as meters show it; silence has no level.
QString Decibels(double db)
{
    return std::isfinite(db) ? QString::number(db, 'f', 1) : QStringLiteral("-inf");
}

// Two decimals for scripts; null for silence (JSON has no infinity).
QJsonValue JsonDecibels(double db)
{
    return std::isfinite(db) ? QJsonValue(std::round(db * 100) / 100) : QJsonValue();
}

QJsonObject LoudnessJson(const LoudnessResult &r)
{
    return QJsonObject{{"integrated_lufs", JsonDecibels(r.integrated)},
                       {"range_lu", JsonDecibels(r.range)},
                       {"true_peak_dbtp", JsonDecibels(LevelDb(r.truePeak))},
                       {"sample_peak", std::round(r.samplePeak * 1e6) / 1e6}};
}

} // namespace

int InfoCommand(const QStringList &args)
{
    const Arguments a = Parse(args, {}, {"json", "quiet", "loudness"});
    if (a.positional.isEmpty())
        throw UsageError("info needs at least one file");

    Reporter report(a.has("quiet"));
    QJsonArray all;
    TAudioInformation2 info;
    for (const QString &path : a.positional) {
        QJsonObject o{{"file", QFileInfo(path).absoluteFilePath()}};
        try {
            info.LoadFile(path);
        } catch (const std::exception &e) {
            report.Error(QString::fromStdString(e.what()));
            o.insert("error", QString::fromStdString(e.what()));
            all.append(o);
            continue;
        }
        o.insert("format", info.FormatText());
        o.insert("sample_rate", info.SampleRate());
        o.insert("channels", info.Channels());
        o.insert("duration_ms", qint64(info.Duration()));
        o.insert("frames", qint64(info.TotalSamples()));
        o.insert("size", qint64(info.FileSize()));
        QJsonObject tag{{"title", info.infoTitle()},     {"artist", info.infoArtist()},
                        {"album", info.infoAlbum()},     {"year", info.infoYear()},
                        {"genre", info.GenreName(info.infoGenre())}, {"comment", info.infoComments()}};
        o.insert("tag", tag);
        ChapterList chapters;
        try {
            chapters = ReadChapters(path);
        } catch (const std::exception &) {
            // The file was described; chapters it cannot give are none.
        }
        QJsonArray chapterArray;
        for (const ChapterMark &c : chapters)
            chapterArray.append(QJsonObject{{"start", c.StartSeconds()},
                                            {"start_frame", qint64(c.startFrame)},
                                            {"title", c.title}});
        o.insert("chapters", chapterArray);
        // Decodes the whole file: only when asked.
        LoudnessResult loudness;
        if (a.has("loudness")) {
            try {
                loudness = MeasureFile(path);
                o.insert("loudness", LoudnessJson(loudness));
            } catch (const std::exception &e) {
                report.Error(QString::fromStdString(e.what()));
                o.insert("error", QString::fromStdString(e.what()));
            }
        }
        all.append(o);
        if (!a.has("json")) {
            const qint64 ms = info.Duration();
            std::printf("%s\n  format:   %s\n  duration: %s.%03lld (%lld ms)\n  frames:   %lld\n  size:     %lld bytes\n",
                        qUtf8Printable(path), qUtf8Printable(info.FormatText()),
                        qUtf8Printable(FormatMinutesSeconds(int32_t(qMin<qint64>(ms / 1000, INT32_MAX)))),
                        ms % 1000, ms, static_cast<long long>(info.TotalSamples()),
                        static_cast<long long>(info.FileSize()));
            for (const char *k : {"title", "artist", "album", "year", "genre", "comment"}) {
                const QJsonValue v = tag.value(k);
                const QString text = v.isDouble() ? QString::number(v.toInt()) : v.toString();
                if (!text.isEmpty() && text != "0")
                    std::printf("  %-9s %s\n", qUtf8Printable(QString(k) + ":"), qUtf8Printable(text));
            }
            if (!chapters.empty())
                std::printf("  chapters:\n");
            for (size_t i = 0; i < chapters.size(); ++i)
                std::printf("    %3zu  %s  %s\n", i + 1,
                            qUtf8Printable(ChapterTimeText(chapters[i].startFrame, chapters[i].sampleRate)),
                            qUtf8Printable(chapters[i].title));
            if (o.contains("loudness"))
                std::printf("  loudness: %s LUFS integrated, %.1f LU range, %s dBTP true peak\n",
                            qUtf8Printable(Decibels(loudness.integrated)), loudness.range,
                            qUtf8Printable(Decibels(LevelDb(loudness.truePeak))));
        }
    }
    if (a.has("json"))
        std::printf("%s", QJsonDocument(all).toJson(QJsonDocument::Indented).constData());
    return report.AnyError() ? Failed : Ok;
}

} // namespace cli

#include "audio/LosslessCutter.h"
#include "audio/TAudioFile2.h"
#include "base/FileNames.h"
#include "audio/TAudioInformation2.h"
#include "cli/Commands.h"
#include "split/ChapterSplit.h"
#include "split/CueSheet.h"
#include "split/LabelFile.h"
#include "split/SilenceDetector.h"
#include "split/SplitEngine.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace cli {
namespace {

// Seconds ("75") or minutes:seconds ("1:15") as whole seconds. Parsed in 64
// bits so that huge minutes are refused rather than wrapped round.
int32_t ParseTimePoint(const QString &text)
{
    bool ok = false;
    qint64 seconds = -1;
    const QStringList parts = text.trimmed().split(':');
    if (parts.size() == 1) {
        seconds = parts[0].toLongLong(&ok);
    } else if (parts.size() == 2) {
        bool okM = false, okS = false;
        const qint64 m = parts[0].toLongLong(&okM);
        const qint64 s = parts[1].toLongLong(&okS);
        ok = okM && okS && m >= 0 && m <= INT32_MAX / 60 && s >= 0 && s < 60;
        seconds = ok ? m * 60 + s : -1;
    }
    if (!ok || seconds < 0)
        throw UsageError(QString("\"%1\" is not a time in seconds or m:ss").arg(text).toStdString());
    if (seconds > INT32_MAX)
        throw UsageError(QString("\"%1\" is too long a time").arg(text).toStdString());
    return int32_t(seconds);
}

// --threshold and --min-silence as numbers in their ranges.
double NumberOption(const Arguments &a, const QString &name, double fallback, double low, double high,
                    const char *what)
{
    if (!a.has(name))
        return fallback;
    bool ok = false;
    const double v = a.value(name).toDouble(&ok);
    if (!ok || !(v >= low && v <= high))
        throw UsageError(QString("--%1 must be %2").arg(name, what).toStdString());
    return v;
}

class CliSplitReport : public RunReport {
public:
    CliSplitReport(Reporter &report, SplitRun &run) : report_(report), run_(run) {}
    void Progress(int percent) override { report_.Progress(percent); }
    void Status(const QString &text) override { report_.Status(text); }
    void Information(const QString &message) override
    {
        // A completed run's message is news like the progress; a refusal or
        // a stop says why nothing (or not all) was written.
        const QString text = report_.TakeWarnings(message);
        if (text.startsWith("Complete"))
            report_.Info(text);
        else
            report_.Message(text);
    }
    void Message(const QString &text) override { report_.Error(text); }
    void Error(const QString &text) override { report_.Error(text); }
    void Breathe() override
    {
        // Ctrl-C stops like the Cancel button: the current part is finished and closed.
        if (interrupted)
            run_.Running = false;
    }

private:
    Reporter &report_;
    SplitRun &run_;
};

} // namespace

int SplitCommand(const QStringList &args)
{
    const Arguments a = Parse(args, {"parts", "every", "at", "cue", "labels", "threshold", "min-silence", "tracks", "format",
                                     "out", "precision", "jobs"},
                              {"silence", "trim-silence", "no-tag", "quiet", "lossless", "overwrite", "chapters"});
    if (a.positional.size() != 1)
        throw UsageError("split takes exactly one source file");
    const int modes = int(a.has("parts")) + int(a.has("every")) + int(a.has("at")) + int(a.has("cue"))
                      + int(a.has("labels")) + int(a.has("silence")) + int(a.has("chapters"));
    if (modes != 1)
        throw UsageError("split needs exactly one of --parts, --every, --at, --cue, --labels, --silence and --chapters");
    if (!a.has("silence") && (a.has("threshold") || a.has("min-silence") || a.has("tracks") || a.has("trim-silence")))
        throw UsageError("--threshold, --min-silence, --tracks and --trim-silence go with --silence");
    SilenceSettings silence;
    silence.thresholdDb = NumberOption(a, "threshold", silence.thresholdDb, -150, 0, "a level in dB from -150 to 0, such as -40");
    silence.minSeconds = NumberOption(a, "min-silence", silence.minSeconds, 0.01, 3600, "a length in seconds from 0.01 to 3600, such as 1.5");
    silence.dropSilences = a.has("trim-silence");
    if (a.has("tracks")) {
        bool ok = false;
        silence.tracks = a.value("tracks").toInt(&ok);
        if (!ok || silence.tracks < 0)
            throw UsageError("--tracks must be a whole number of tracks, or 0 for a cut at every silence");
    }

    TProgramSettings settings = ProgramSettings;
    settings.saveformat = FormatOption(a, settings);
    settings.savepath = OutputFolderOption(a, settings);
    settings.jobs = JobsOption(a, settings);

    SplitRun run;
    run.CopyTag = !a.has("no-tag");
    // Scripts get parts that end where they were asked to unless they choose a block precision.
    const QString precision = a.value("precision", "exact").toLower();
    static const QMap<QString, int> divisors{{"low", 1}, {"normal", 2}, {"high", 4}, {"very-high", 8}, {"exact", 2}};
    if (!divisors.contains(precision))
        throw UsageError("--precision must be exact, low, normal, high or very-high");
    run.PrecisionDivisor = divisors.value(precision);
    run.ExactCut = precision == "exact";
    run.Lossless = a.has("lossless");
    run.Overwrite = a.has("overwrite");
    if (run.Lossless && a.has("precision") && precision != "exact")
        throw UsageError("--lossless always cuts exactly; leave out --precision");

    const QString source = QFileInfo(a.positional.first()).absoluteFilePath();
    // The save format the source's frames can be copied into; MP3 sources
    // and formats nothing can be copied into are told as they always were.
    const QString saveFormat = settings.saveformat.toLower();
    const QString copyable = run.Lossless ? LosslessSaveFormat(source) : QString();
    if (run.Lossless && copyable == "mp3" && saveFormat != "mp3")
        throw UsageError("--lossless copies MP3 frames: it needs --format mp3");
    if (run.Lossless && !copyable.isEmpty() && saveFormat != copyable)
        throw UsageError(QString("--lossless copies the %1 %2 of %3: it needs --format %4")
                             .arg(copyable == "ogg" ? "Vorbis" : copyable == "opus" ? "Opus" : copyable == "m4a" ? "AAC" : copyable.toUpper(),
                                  copyable == "ogg" || copyable == "opus" || copyable == "m4a" ? "packets" : "frames",
                                  QDir::toNativeSeparators(source), copyable)
                             .toStdString());
    if (run.Lossless && copyable.isEmpty() && saveFormat != "mp3" && saveFormat != "flac" && saveFormat != "opus"
        && saveFormat != "ogg")
        throw UsageError("--lossless copies MP3, FLAC, Opus or Vorbis audio: it needs --format mp3, flac, opus or ogg");
    Reporter report(a.has("quiet"));
    TAudioInformation2 info;
    try {
        info.LoadFile(source);
    } catch (const std::exception &e) {
        report.Error(QString::fromStdString(e.what()));
        return Failed;
    }
    const int32_t durationSeconds = int32_t(qMin<int64_t>(info.Duration() / 1000, INT32_MAX));
    if (run.Lossless && copyable.isEmpty()) {
        report.Error(saveFormat == "mp3"
                         ? source + " is not an MP3 (MPEG Layer III) file: --lossless cannot copy its audio"
                         : source + " is not " + (saveFormat == "ogg" ? QString("an Ogg Vorbis") : saveFormat == "opus" ? QString("an Opus") : "a " + saveFormat.toUpper()) + " file: --lossless cannot copy its audio");
        return Failed;
    }

    SplitPlan plan;
    plan.SourcePath = source;
    plan.DurationSeconds = durationSeconds;
    SplitMode mode = SplitMode::ByAmount;
    int32_t number = 0;
    if (a.has("parts")) {
        bool ok = false;
        number = a.value("parts").toInt(&ok);
        if (!ok || number < 1)
            throw UsageError("--parts must be a whole number of at least 1");
    } else if (a.has("every")) {
        mode = SplitMode::ByTime;
        number = ParseTimePoint(a.value("every"));
        if (number < 1)
            throw UsageError("--every must be at least 1 second");
    } else if (a.has("cue")) {
        mode = SplitMode::BySettings;
        try {
            const CueSheet sheet = ReadCueSheet(QFileInfo(a.value("cue")).absoluteFilePath());
            // Both files are named on the command line: a sheet written for
            // another copy of the audio (often a .wav since converted) is the
            // user's choice, so it is used, with a warning.
            if (!CueNamesSource(sheet, source))
                report.Warning(QString("%1 is written for \"%2\"; its times are used for %3")
                                   .arg(QDir::toNativeSeparators(sheet.path), sheet.fileEntry,
                                        QDir::toNativeSeparators(source)));
            ApplyCueSheet(plan, sheet, info.TotalSamples(), info.SampleRate(), settings.saveformat);
        } catch (const CueSheetError &e) {
            report.Error(e.text());
            return Failed;
        }
    } else if (a.has("chapters")) {
        mode = SplitMode::BySettings;
        try {
            if (ApplyChapters(plan, ReadChapters(source), info.TotalSamples(), info.SampleRate(), settings.saveformat) == 0) {
                report.Error(NoChaptersText(source) + " Nothing was split.");
                return Failed;
            }
        } catch (const std::exception &e) {
            report.Error(QString::fromStdString(e.what()));
            return Failed;
        }
    } else if (a.has("labels")) {
        mode = SplitMode::BySettings;
        try {
            const QString labels = QFileInfo(a.value("labels")).absoluteFilePath();
            ApplyLabels(plan, ReadLabelFile(labels), labels, info.TotalSamples(), info.SampleRate(),
                        settings.saveformat);
        } catch (const LabelFileError &e) {
            report.Error(e.text());
            return Failed;
        }
    } else if (a.has("silence")) {
        mode = SplitMode::BySettings;
        plan.ResetManualPlan(settings.saveformat);
        std::optional<std::vector<SilentStretch>> found;
        try {
            found = FindSilences(source, silence, [](int) { return !interrupted; });
        } catch (const std::exception &e) {
            report.Error(QString::fromStdString(e.what()));
            return Failed;
        }
        if (!found)
            return Failed;
        const std::vector<SilentStretch> chosen = ChooseTrackSilences(*found, info.TotalSamples(), silence.tracks);
        if (ApplySilences(plan, chosen, info.TotalSamples(), info.SampleRate(), silence.dropSilences,
                          settings.saveformat) == 0) {
            report.Error(QString("No silence of at least %1 s below %2 dB between sounds in %3; nothing was split")
                             .arg(silence.minSeconds).arg(silence.thresholdDb).arg(QDir::toNativeSeparators(source)));
            return Failed;
        }
        const int32_t between = int32_t(std::count_if(found->begin(), found->end(), [&info](const SilentStretch &st) {
            return st.start > 0 && st.end < info.TotalSamples();
        }));
        if (silence.tracks > between + 1)
            report.Warning(QString("%1 holds %2 silences between sounds: split into %3 tracks, not %4")
                               .arg(QDir::toNativeSeparators(source)).arg(between).arg(between + 1).arg(silence.tracks));
    } else {
        mode = SplitMode::BySettings;
        plan.ResetManualPlan(settings.saveformat);
        QList<int32_t> points;
        for (const QString &t : a.value("at").split(',', Qt::SkipEmptyParts))
            points << ParseTimePoint(t);
        std::sort(points.begin(), points.end());
        points.erase(std::unique(points.begin(), points.end()), points.end());
        // A point at the start or at/after the end would make an empty part.
        points.removeIf([&](int32_t p) { return p <= 0 || p >= durationSeconds; });
        if (points.isEmpty())
            throw UsageError("--at needs split points inside the file's duration");
        const int32_t count = int32_t(points.size()) + 1;
        plan.ResizeParts(count);
        plan.PartCount = count;
        for (int32_t k = 1; k <= count; ++k) {
            plan.TimePoints[k] = k < count ? points[k - 1] : durationSeconds;
            plan.PartNames[k] = plan.NumberedPartName(k, settings.saveformat);
            plan.PartTips[k] = "No tip";
            plan.PartSaveFlags[k] = true;
        }
    }

    if (!MakeFolder(settings.savepath)) {
        report.Error("Cannot create the folder " + settings.savepath);
        return Failed;
    }

    TAudioFile2 fileW;
    TAudioFile2LameEnc encoder;
    CliSplitReport observer(report, run);
    // Only the silences of --trim-silence are unchecked.
    run.IsRowChecked = [&plan](int row) { return row + 1 >= plan.PartSaveFlags.size() || plan.PartSaveFlags[row + 1]; };
    SplitEngine engine(fileW, info, encoder, settings, plan, run, observer);
    report.SetFile(source);
    const SplitOutcome outcome = engine.RunSplit(source, mode, number);
    report.Done();
    if (outcome == SplitOutcome::Completed || outcome == SplitOutcome::Cancelled) {
        for (int32_t k = 1; k <= plan.PartCount; ++k) {
            const QString path = engine.PartPath(mode, k);
            const bool saved = mode != SplitMode::BySettings || run.IsRowChecked(k - 1);
            // Replacing, a part a stopped run did not reach is still the older file.
            if (!saved || !QFileInfo::exists(path)
                || (run.Overwrite && outcome != SplitOutcome::Completed))
                continue;
            // Said even with --quiet when the part's own name was taken: a
            // script has to learn where its output went.
            const QString line = QDir::toNativeSeparators(source) + " -> " + QDir::toNativeSeparators(path);
            if (QFileInfo(path).fileName() == engine.PlannedPartFileName(mode, k))
                report.Info(line);
            else
                report.Message(line);
        }
    }
    switch (outcome) {
    case SplitOutcome::Completed:
        return report.AnyError() ? Failed : Ok;
    case SplitOutcome::Cancelled:
        return Failed;
    default:
        return Failed;
    }
}

} // namespace cli

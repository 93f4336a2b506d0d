#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "audio/Chapters.h"
#include "cli/Commands.h"
#include "merge/ConvertEngine.h"
#include "merge/FolderSources.h"
#include "merge/NameTemplate.h"
#include "merge/MergeEngine.h"
#include "merge/OutputNames.h"
#include "base/RunReport.h"
#include "merge/SourceList.h"
#include "base/OutputFormat.h"
#include "base/TagYear.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <type_traits>

namespace cli {
namespace {

// Shows a merge or conversion run on standard error.
class CliRunReport : public RunReport {
public:
    CliRunReport(Reporter &report, const MergeSourceList &list, std::function<void()> stop)
        : report_(report), list_(list), stop_(std::move(stop))
    {
    }

    void Progress(int percent) override { report_.Progress(percent); }
    void Status(const QString &text) override { report_.Status(text); }
    void FilesLeft(int done, int left, int /*secondsLeft*/) override { report_.Files(done, done + left); }
    void RowStatus(int row, const QString &text) override
    {
        // Files converted at once report in turns: each is named when it first reports.
        if (!namedRows_.contains(row)) {
            namedRows_.insert(row);
            report_.SetFile(list_.Path(row));
        }
        if (text == "Error") {
            failedRows_ = true;
            errorRows_.insert(row);
        }
    }
    void OutputWritten(int row, const QString &path) override
    {
        // Said even with --quiet when the file's own name was taken: a script
        // has to learn where its output went.
        writtenRows_.insert(row);
        const QString source = list_.Path(row);
        const QString firstChoice = WithoutExtension(FileNameOfPath(source)) + "." + QFileInfo(path).suffix();
        const QString line = QDir::toNativeSeparators(source) + " -> " + QDir::toNativeSeparators(path);
        // Names from tags are the script's own choice: only a "New_" one is news.
        const bool chosen = namesFromTemplate_ ? !QFileInfo(path).fileName().startsWith("New_")
                                               : QFileInfo(path).fileName() == firstChoice;
        if (chosen)
            report_.Info(line);
        else
            report_.Message(line);
    }
    void Information(const QString &message) override
    {
        const QString text = report_.TakeWarnings(message);
        if (text.startsWith("Complete")) {
            completed_ = true;
            // Notes on what the run did differently (a held-back gain, tags a format has no place for).
            for (const QString &line : text.split('\n'))
                if (line.startsWith("Note: "))
                    report_.Message(line);
        }
        else if (text.startsWith("Cancel"))
            report_.Error(text);
        else
            report_.Message(text);
    }
    void Message(const QString &text) override { report_.Error(text); }
    void Error(const QString &text) override { report_.Error(text); }
    void Breathe() override
    {
        // Ctrl-C stops like the Cancel button: the current file is finished and closed.
        if (interrupted && !stopped_) {
            stopped_ = true;
            stop_();
        }
    }

    bool Succeeded() const { return completed_ && !failedRows_ && !report_.AnyError(); }
    void SetNamesFromTemplate(bool on) { namesFromTemplate_ = on; }
    int WrittenCount() const { return int(writtenRows_.size()); }
    int ErrorCount() const { return int(errorRows_.size()); }

private:
    Reporter &report_;
    const MergeSourceList &list_;
    std::function<void()> stop_;
    QSet<int> namedRows_;
    QSet<int> writtenRows_;
    QSet<int> errorRows_;
    bool completed_ = false;
    bool failedRows_ = false;
    bool stopped_ = false;
    bool namesFromTemplate_ = false;
};

MergeSourceList ListOf(const QStringList &files, TAudioInformation2 &info)
{
    MergeSourceList list;
    QStringList absolute;
    for (const QString &f : files)
        absolute << QFileInfo(f).absoluteFilePath();
    list.Add(absolute);
    list.Refresh(InformationProbe(info));
    return list;
}

// Lists the files as the window would, then runs a merge or conversion over
// them with fresh components, reporting on standard error.
template <class Engine, class Request, class Start>
int RunOverList(const QStringList &files, Request request, const TProgramSettings &settings, bool quiet, Start start)
{
    Reporter report(quiet);
    // The windows choose an existing folder; a script may name a new one.
    if (!QDir().mkpath(request.savePath)) {
        report.Error("Cannot create " + request.savePath);
        return Failed;
    }
    TAudioFile2 fileW;
    TAudioInformation2 info;
    TAudioFile2LameEnc encoder;
    const MergeSourceList list = ListOf(files, info);
    request.sources = list.Paths();
    request.listTotalSamples = list.ListTotalSamples;

    Engine *running = nullptr;
    CliRunReport observer(report, list, [&] {
        if (running)
            running->Stop();
    });
    if constexpr (std::is_same_v<Request, ConvertRequest>)
        observer.SetNamesFromTemplate(!request.nameTemplate.isEmpty());
    Engine engine(fileW, info, encoder, observer);
    running = &engine;
    start(engine, request, settings);
    report.Done();
    if constexpr (std::is_same_v<Engine, ConvertEngine>)
        report.Info(QStringLiteral("%1 converted, %2 skipped, %3 failed")
                        .arg(observer.WrittenCount())
                        .arg(engine.Skipped())
                        .arg(observer.ErrorCount()));
    return observer.Succeeded() ? Ok : Failed;
}

} // namespace

int MergeCommand(const QStringList &args)
{
    const Arguments a = Parse(args, {"output", "format", "out", "title", "artist", "album", "year", "comment", "normalise"},
                              {"quiet", "chapters", "lossless"});
    if (a.positional.isEmpty())
        throw UsageError("merge needs at least one source file");
    if (!a.has("output") || a.value("output").isEmpty())
        throw UsageError("merge needs --output NAME");

    const TProgramSettings settings = ProgramSettings;
    const QString format = FormatOption(a, settings);
    MergeRequest request;
    request.savePath = OutputFolderOption(a, settings);
    request.fileNameText = a.value("output");
    request.formatText = format.toUpper();
    const bool tagged = a.has("title") || a.has("artist") || a.has("album") || a.has("year") || a.has("comment");
    request.tagEnabled = tagged;
    request.tag.title = a.value("title");
    request.tag.artist = a.value("artist");
    request.tag.album = a.value("album");
    request.tag.comment = a.value("comment");
    if (a.has("year")) {
        // The tag dialog's rule, so a year typed there works here too.
        const std::optional<int32_t> year = ParseTagYear(a.value("year"));
        if (!year)
            throw UsageError("--year must be a whole number (decimal, or hexadecimal after $ or 0x)");
        request.tag.year = *year;
    }

    if (a.has("normalise")) {
        bool number = false;
        request.normaliseLufs = a.value("normalise").toInt(&number);
        if (!number || !IsNormaliseTarget(request.normaliseLufs))
            throw UsageError("--normalise must be -23, -18, -16 or -14 (LUFS)");
    }
    request.chapterMarks = a.has("chapters");
    request.lossless = a.has("lossless");
    if (request.chapterMarks && !FormatCarriesChapters("x." + output_format::ExtensionOfWord(format)))
        Reporter(a.has("quiet")).Message(QString("Note: %1 files carry no chapters; the merge is written without them")
                                             .arg(format.toUpper()));

    return RunOverList<MergeEngine>(a.positional, request, settings, a.has("quiet"),
                                     [](MergeEngine &e, const MergeRequest &r, const TProgramSettings &s) { e.Run(r, s); });
}

int ConvertCommand(const QStringList &args)
{
    const Arguments a = Parse(args, {"format", "out", "jobs", "name"},
                              {"copy-tags", "quiet", "recursive", "keep-structure", "skip-existing", "replaygain"});
    if (a.positional.isEmpty())
        throw UsageError("convert needs at least one source file or folder");
    if (const QString problem = TemplateProblem(a.value("name")); !problem.isEmpty())
        throw UsageError(("--name: " + problem).toStdString());
    const FolderSources found = ExpandSources(a.positional, a.has("recursive"));
    if (found.files.isEmpty()) {
        Reporter(false).Error("No readable audio files in " + a.positional.join(", "));
        return Failed;
    }

    const TProgramSettings settings = ProgramSettings;
    ConvertRequest request;
    request.jobs = JobsOption(a, settings);
    request.formatIndex = output_format::IndexOf(FormatOption(a, settings));
    request.savePath = OutputFolderOption(a, settings);
    request.copyTags = a.has("copy-tags");
    request.keepStructure = a.has("keep-structure");
    request.skipExisting = a.has("skip-existing");
    request.nameTemplate = a.value("name");
    request.replayGain = a.has("replaygain");
    request.baseFolders = found.baseFolders;

    return RunOverList<ConvertEngine>(found.files, request, settings, a.has("quiet"),
                                       [](ConvertEngine &e, const ConvertRequest &r, const TProgramSettings &s) { e.Start(r, s); });
}

} // namespace cli

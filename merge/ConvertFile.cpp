#include "merge/ConvertFile.h"

#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "base/RunReport.h"
#include "config/OutputSetup.h"
#include "merge/BlockPump.h"
#include "merge/CloseQuietly.h"
#include "merge/OutputNames.h"
#include "merge/RunTexts.h"
#include "merge/ReplayGainRun.h"

#include "merge/ConvertEngine.h"
#include "merge/NameTemplate.h"

#include <QDir>
#include <QFileInfo>
#include <QFile>
#include <QTemporaryFile>
#include <exception>

namespace {

using FileOutcome = ConvertFileOutcome;

// Why no file at all can be made in `folder` (the system's words), or empty
// when one can: tells a folder the user cannot write to, or that is gone,
// from a file of its own that could not be created.
QString FolderRefusal(const QString &folder)
{
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".quorvis-probe-XXXXXX")));
    if (probe.open())
        return {};
    return probe.errorString();
}

class FileConverter {
public:
    FileConverter(FileTools tools, const FileTask &task, const TProgramSettings &settings,
                  const std::atomic<bool> &running)
        : t_(tools), task_(task), settings_(settings), running_(running)
    {
    }

    FileOutcome Run()
    {
        if (ConvertOneFile() && task_.copyTags) {
            try {
                t_.info.LoadFile(task_.input);
                t_.info.SaveTag(task_.written);
            } catch (const std::exception &e) {
                // The audio is converted: the file stays, and the end message says what it lacks.
                outcome_.warnings << QStringLiteral("Warning: ") + QString::fromStdString(e.what());
            }
        }
        return outcome_;
    }

private:
    // After the source is open: "Same as source" settings follow it.
    bool PrepareWriter(const SourceFormat &source)
    {
        try {
            ConfigureOutput(t_.writer, t_.encoder, task_.format, settings_, source, OggSettingsRule::QualityModeFirst,
                            [this] { t_.observer.Message(QStringLiteral("Incorrect format")); });
        } catch (const std::exception &e) {
            Failed(QString::fromStdString(e.what()), {});
            return false;
        }
        return true;
    }

    // false when the file failed (already reported).
    bool ConvertOneFile()
    {
        const QString &input = task_.input;
        const QString &written = task_.written;
        // Nothing is created for a source that cannot be read.
        const OpenedSource opened = OpenSource(t_.info, t_.reader, task_.row, input, t_.observer);
        if (!opened.opened) {
            Failed(opened.failure, {});
            return false;
        }
        outcome_.albumKey = AlbumKeyOf(input, t_.info.infoAlbum());
        const SourceFormat source{t_.reader.SampleRate(), t_.reader.Channels(), opened.length,
                                  t_.reader.BitsPerSample()};
        if (!PrepareWriter(source))
            return false;
        t_.writer.SetFormatIndex(-1);
        // The writer is set up from this source before its file exists: the
        // same writer wrote the file before, and an Opus file takes its
        // channel count from the input it is created for.
        try {
            AnnounceSource(t_.writer, source);
        } catch (const std::exception &e) {
            Failed(FailureText(QStringLiteral("Cannot convert"), input, QString::fromStdString(e.what())), {});
            return false;
        }
        MakeFolder(FolderOfPath(written)); // kept structure and names from tags make folders
        t_.writer.SetMeasureLoudness(task_.measureLoudness);
        t_.writer.CreateFile(written, 0);
        t_.writer.SetMeasureLoudness(false); // the writer may serve a merge next
        if (t_.writer.LastError() != 0) {
            const QString folder = FolderOfPath(written);
            const QString refusal = FolderRefusal(folder);
            if (!refusal.isEmpty()) {
                Failed({}, {});
                outcome_.folderFailure = QStringLiteral("Cannot create files in the folder %1: %2")
                                             .arg(QDir::toNativeSeparators(folder), refusal);
                return false;
            }
            Failed(FailureText(QStringLiteral("Cannot create"), written, t_.writer.LastErrorText()), {});
            return false;
        }
        // A block is one second of audio per channel of this source.
        const PumpPass pass{.source = input,
                            .row = task_.row,
                            .blockSize = t_.reader.Channels() * t_.reader.SampleRate(),
                            .length = opened.length,
                            .listDone = task_.listDone,
                            .listTotal = task_.listTotal,
                            .rowOnlyWithGauge = true,
                            .position = task_.position};
        const PumpResult pumped = PumpBlocks(t_.reader, t_.writer, t_.observer, pass, running_);
        if (pumped.end == PumpResult::ReadFailed) {
            Failed(FailureText(QStringLiteral("Cannot read"), input, pumped.reason), written);
            return false;
        }
        if (pumped.end == PumpResult::WriteFailed) {
            Failed(FailureText(QStringLiteral("Cannot write"), written, pumped.reason), written);
            return false;
        }
        outcome_.counted = opened.length;

        t_.reader.CloseFile();
        try {
            t_.writer.CloseFile();
        } catch (const std::exception &e) {
            Failed(FailureText(QStringLiteral("Cannot write"), written, QString::fromStdString(e.what())), written);
            return false;
        }
        if (!pumped.damage.isEmpty())
            outcome_.warnings << pumped.damage;
        // A stopped file holds only its beginning: no gain is measured for it.
        if (running_) {
            outcome_.loudness = t_.writer.TakeLoudness();
            outcome_.written = written;
        }
        t_.observer.RowStatus(task_.row, running_ ? QStringLiteral("100%") : QStringLiteral("Stop"));
        t_.observer.OutputWritten(task_.row, written);
        return true;
    }

    // The row says "Error" at once; the reason waits for the end message, so
    // a batch with many failures is one message, not a box per file.
    void Failed(const QString &text, const QString &written)
    {
        CloseBothQuietly(t_.reader, t_.writer);
        if (!written.isEmpty())
            QFile::remove(written); // a half-written file is no conversion
        outcome_.failed = true;
        outcome_.error = text;
        t_.observer.RowStatus(task_.row, QStringLiteral("Error"));
    }

    FileTools t_;
    const FileTask &task_;
    const TProgramSettings &settings_;
    const std::atomic<bool> &running_;
    FileOutcome outcome_;
};

} // namespace

ConvertFileOutcome ConvertOneSource(FileTools tools, const FileTask &task, const TProgramSettings &settings,
                                    const std::atomic<bool> &running)
{
    return FileConverter(tools, task, settings, running).Run();
}

// A free name is no file, but a listed source that has gone missing can
// still own it: writing there would turn the output into a later source.
bool OwnedByASource(const QStringList &sources, const QString &written)
{
    for (const QString &source : sources)
        if (SameFile(source, written))
            return true;
    return false;
}

// A file passed over because its output would be a listed file.
ConvertFileOutcome OutputIsASource(const QString &input, const QString &written)
{
    ConvertFileOutcome outcome;
    outcome.failed = true;
    outcome.error = QStringLiteral("%1 was not converted: its output %2 is a file in the list.").arg(input, written);
    return outcome;
}

ConvertNaming NamingOf(const ConvertRequest &request)
{
    const OutputFormat format = ConvertEngine::ChosenFormat(request);
    return ConvertNaming{.savePath = request.savePath,
                         .extension = output_format::Extension(format),
                         .keepStructure = request.keepStructure,
                         .baseFolders = request.baseFolders,
                         .nameTemplate = request.nameTemplate};
}

QString PlannedOutput(const ConvertNaming &naming, const QString &source)
{
    QString folder = naming.savePath;
    const QString base = naming.baseFolders.value(source);
    if (naming.keepStructure && !base.isEmpty()) {
        // Cleaned as a template's folders are: a relative path never leads out.
        const QString relative = QDir(base).relativeFilePath(QFileInfo(source).absolutePath());
        if (relative != QLatin1String(".") && !relative.startsWith(QLatin1String("..")))
            folder += SafeRelativePath(relative) + QLatin1Char('/');
    }
    if (naming.nameTemplate.isEmpty())
        return ConvertOutputPath(folder, source, naming.extension);
    return folder + NameFromTemplate(naming.nameTemplate, TagFieldsOf(source)) + naming.extension;
}

bool AlreadyConverted(const QString &source, const QString &planned)
{
    const QFileInfo out(planned), in(source);
    return out.isFile() && out.lastModified() > in.lastModified();
}

#pragma once
#include "base/OutputFormat.h"
#include "config/ProgramSettings.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>

class LoudnessMeter;

class TAudioFile2;
struct TAudioFile2LameEnc;
class TAudioInformation2;
class RunReport;
struct ConvertRequest;

// One file of a conversion: where it goes, and the conversion itself, for
// the one-at-a-time run and the workers alike.

struct ConvertFileOutcome {
    bool failed = false; // reported with "Error" in its row
    int64_t counted = 0; // frames it adds to the run's finished count
    QString error;       // why it failed, a line of the end message; empty when said otherwise
    // Set when the output folder itself refused a new file: every file after
    // would fail alike, so the run ends with this one message.
    QString folderFailure;
    QStringList warnings; // "Warning: " lines below the end message
    // The loudness of what was encoded, when measured and the file was
    // completed; with the output and its album (AlbumKeyOf), for ReplayGain.
    std::shared_ptr<LoudnessMeter> loudness;
    QString written;
    QString albumKey;
};

// What one file's conversion works with: the run's own components on the
// calling thread, or a worker's.
struct FileTools {
    TAudioFile2 &reader;
    TAudioFile2 &writer;
    TAudioInformation2 &info;
    TAudioFile2LameEnc &encoder;
    RunReport &observer;
};

struct FileTask {
    int row = 0; // counted from 1
    QString input;
    QString written; // the path chosen for it, "New_" rule applied
    OutputFormat format = OutputFormat::Mp3;
    bool copyTags = false;
    bool measureLoudness = false; // for ReplayGain
    int64_t listDone = 0;  // frames of the files finished before it (one at a time only)
    int64_t listTotal = 0; // the gauge's 100%
    std::atomic<int64_t> *position = nullptr;
};

// How a conversion names its outputs.
struct ConvertNaming {
    QString savePath;  // ends with a separator
    QString extension; // with its dot: ".mp3"
    // Each output goes below savePath at the source's place relative to the
    // folder it was added from (baseFolders); sources added one by one go
    // to savePath itself.
    bool keepStructure = false;
    QHash<QString, QString> baseFolders; // source path -> the folder it was found in
    // A name made of the source's tags (merge/NameTemplate.h); empty: the
    // source's file name.
    QString nameTemplate;
};
ConvertNaming NamingOf(const ConvertRequest &request);

// A source's first-choice output, before the "New_" rule: always inside
// naming.savePath.
QString PlannedOutput(const ConvertNaming &naming, const QString &source);
// Whether `planned` already holds a conversion of `source`: it exists and
// was written after the source last changed.
bool AlreadyConverted(const QString &source, const QString &planned);

// Converts one source into task.written: the writer set up from the source,
// blocks pumped until the end or until `running` is cleared, the tag copied
// when asked. Failures are in the outcome; the row has said "Error".
ConvertFileOutcome ConvertOneSource(FileTools tools, const FileTask &task, const TProgramSettings &settings,
                                    const std::atomic<bool> &running);

// Whether `written` is one of the listed sources (a free name is no file, but
// a listed source that has gone missing can still own it).
bool OwnedByASource(const QStringList &sources, const QString &written);
// The outcome of a file passed over because its output would be a listed file.
ConvertFileOutcome OutputIsASource(const QString &input, const QString &written);

#pragma once
#include "audio/Chapters.h"
#include "config/ProgramSettings.h"

#include <QString>
#include <QStringList>
#include <cstdint>
#include <memory>
#include <vector>

class TAudioFile2;
struct TAudioFile2LameEnc;
class TAudioInformation2;
class RunReport;

// The tag values last accepted in the tag dialog; empty until its first OK.
struct MergeTagFields {
    QString title, artist, album, comment;
    int32_t year = 0;
};

// What the merge panel holds when Merge is pressed.
struct MergeRequest {
    QStringList sources;        // the list's paths, first row first
    QString fileNameText;       // EdSaveFileName
    QString savePath;           // EdSavePath, ends with a separator
    QString formatText;         // CBFormat: "MP3", "WAV", "WMA" or "OGG"
    int64_t listTotalSamples = 0; // sample frames, progress denominator
    bool tagEnabled = false;    // "Enable ID3 Tag" when the run ends
    MergeTagFields tag;
    // A chapter mark where each source begins, in formats that hold them.
    bool chapterMarks = false;
    // One per source; an empty or missing title is the source's title tag,
    // else its file name without extension.
    QStringList chapterTitles;
    // "Normalise to": each source is measured first and merged with the gain
    // that brings it to this loudness (LUFS); 0 merges the sources as they are.
    int normaliseLufs = 0;
    // Copy the sources' audio without re-encoding (MP3 or FLAC sources of
    // one stream format, into their own format).
    bool lossless = false;
};

// A source's length as its own reader counts it: sample frames at its own rate.
struct SourceLength {
    int64_t frames = 0;
    int sampleRate = 0;
};

// The length of the merge of `sources`, in sample frames at `rate`: each
// source's frames at that rate (rounded up), summed. A source without a
// rate adds nothing.
int64_t MergedLength(const QList<SourceLength> &sources, int rate);

// How a Merge press ended.
struct MergeResult {
    QString name;        // the output's file name ("Untitled.mp3"); empty when the request was refused
    bool failed = false; // the run began and failed; the output was left as it was
};

// Joins every source, in list order, into one output file, block by block on
// the calling thread, breathing through the observer after each block.
class MergeEngine {
public:
    // The engine reads with a reader of its own: the window's belongs to its preview.
    MergeEngine(TAudioFile2 &fileW, TAudioInformation2 &info, TAudioFile2LameEnc &encoder, RunReport &observer);
    ~MergeEngine();

    // Why the Merge button cannot start with this request ("Please add files
    // first!"); empty when it can.
    static QString Refusal(const MergeRequest &request);
    // The output's format word ("mp3") and file name ("Untitled.mp3").
    static QString FormatWord(const MergeRequest &request);
    static QString OutputName(const MergeRequest &request);

    // The Merge button: reports a refusal, else runs the merge and returns
    // when it has ended (completed, stopped or failed). Everything is
    // reported through the observer. `settings` supplies the encoder fields.
    MergeResult Run(const MergeRequest &request, const TProgramSettings &settings);

    bool Merging() const { return merging_; }
    // Asks a running merge to end after its current block.
    void Stop() { merging_ = false; }

    int CurrentIndex() const { return currentIndex_; }

private:
    enum class Outcome { Finished, Failed };
    // The checked request's run, into savePath + name; saveformat is the format's word ("mp3").
    void MergeInto(const MergeRequest &request, const TProgramSettings &settings, const QString &saveformat,
                   const QString &name);
    Outcome MergeSources(const MergeRequest &request);
    // The run when the audio is copied rather than encoded again.
    void MergeLossless(const MergeRequest &request, const QString &saveformat);
    // Reports the failure and removes the unfinished work file; the output
    // as it was before the run is never touched.
    void Fail(const QString &text);
    // The tag typed for the merge, when asked for, on the finished file.
    void WriteMergeTag(const MergeRequest &request, const QString &path);
    void CloseQuietly();
    // The writer's messages name the work file; the user knows the output.
    QString AsOutput(const QString &text) const;
    // Frames of the whole merge at the first source's rate, for the writer's
    // choice of size class; measured before the output is created.
    int64_t ExpectedLength(const QStringList &sources, int firstRate);
    // The measuring pass of a normalised merge; false when it ended the run.
    bool MeasureLoudness(const MergeRequest &request);
    // Keeps a source's damage line (none when empty) for the end message.
    void NoteDamage(const QString &line);
    // The chapter of source k (from 1), starting where the output now stands.
    void MarkChapter(const MergeRequest &request, int k);
    // Writes the marks into the finished output; a failure is reported, the output kept.
    void WriteChapterMarks(const QString &path);

    std::unique_ptr<TAudioFile2> reader_;
    TAudioFile2 &fileR_;
    TAudioFile2 &fileW_;
    TAudioInformation2 &info_;
    TAudioFile2LameEnc &encoder_;
    RunReport &observer_;

    bool merging_ = false;
    bool failed_ = false; // of the run in progress or the last one
    int currentIndex_ = 0;
    int64_t samplesDone_ = 0;
    int32_t blockSize_ = 0;
    QString outputPath_;
    // The file being written, beside the output, until the end of the run:
    // then it replaces the output, or, stopped, is kept beside an existing
    // one. Empty when none exists.
    QString workPath_;
    QStringList warnings_; // one line per damaged source, for the end message
    ChapterList chapters_; // of the run in progress, one per source begun
    int64_t outputEnd_ = 0; // frames written, at the chapters' rate
    std::vector<float> gains_; // per source of a normalised merge; empty: as read
};

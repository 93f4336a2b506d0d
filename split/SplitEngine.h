#pragma once
#include "audio/PcmArray.h"
#include "audio/TAudioFile2.h"
#include "audio/TAudioInformation2.h"
#include "base/RunReport.h"
#include "base/FrameMath.h"
#include "config/ProgramSettings.h"
#include "split/ParallelParts.h"
#include "split/SplitPlan.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// The run's state, held by the window next to its plan so that its Cancel
// button can clear Running while the loop is between blocks.
struct SplitRun {
    bool Running = false;
    bool CopyTag = true;
    int32_t PrecisionDivisor = 2;  // 1, 2, 4 or 8: blocks of 1, 1/2, 1/4, 1/8 second
    // Each part ends exactly at its planned frame (rounded up): the block that
    // crosses a part end is divided between the two parts, nothing is shared.
    bool ExactCut = false;
    // MP3 to MP3 by copying the source's frames (always exact; no encoder
    // settings, no precision). Refused at the start when the source cannot be cut so.
    bool Lossless = false;
    int32_t SplitBlockSamples = 0; // frames per read, fixed for a run
    int32_t PartsAtOnce = 1;       // parts the run writes at once, each on a worker of its own
    // Replace part files already there. Otherwise a part whose name is taken
    // is written as "New_<name>" (then "New_2_<name>", ...), as the conversion does.
    bool Overwrite = false;
    int64_t SamplesRead = 0;       // frames read so far, unsaved parts included
    int32_t CurrentPart = 0;       // from 1
    QString CurrentPartFileName;   // without folder
    // Whether the parts list's row (0-based; row k-1 is part k) is checked.
    // Asked in BySettings mode only, at the moment a part begins or a block
    // is written; unset, every row is.
    std::function<bool(int row)> IsRowChecked;
};

enum class SplitOutcome {
    Completed, // the source was read to its end
    Cancelled, // Running was cleared during the run
    Failed,    // the source could not be read or a part could not be written
    Refused,   // nothing was started (a part would overwrite the source)
};

// Cuts the source into part files. Reads the source once in blocks of
// SplitBlockSamples frames, appends each block to the current part and moves
// to the next part after the block that reaches the current part's end; that
// block is written to both parts, so neighbouring parts share one block.
// Runs on the caller's thread; the observer's Breathe() keeps a window alive.
// Where the source's reader can seek exactly, the parts are written at once
// by workers with readers and writers of their own, each given the very
// blocks a reading through gives it; the observer is still called on the
// caller's thread only.
class SplitEngine {
public:
    // The engine reads the source with a reader of its own: the window's
    // belongs to its preview.
    SplitEngine(TAudioFile2 &FileW, TAudioInformation2 &AudioInformation, TAudioFile2LameEnc &MP3LameEncoder,
                const TProgramSettings &settings, SplitPlan &plan, SplitRun &run, RunReport &observer);
    ~SplitEngine();

    // number: PartCount (ByAmount), SecondsPerPart (ByTime), 0 (BySettings).
    SplitOutcome RunSplit(const QString &sourcePath, SplitMode mode, int32_t number);

    // Prepares FileW for settings.saveformat ("mp3", "wav", "wma", "ogg",
    // "flac", "opus"; any other word configures nothing).
    void ConfigureSplitWriter();
    // Closes the current part's file (when one is open) and copies the tag into it.
    void FinishPart();

    // The full output path of part k in the given mode: from the start of a
    // run on, the free name the run chose for it (kept after the run, so that
    // whoever started it can tell where each part went).
    QString PartPath(SplitMode mode, int32_t k) const;
    // The file name the plan gives part k, before any "New_".
    QString PlannedPartFileName(SplitMode mode, int32_t k) const;

private:
    // The run once its checks have passed.
    SplitOutcome WriteParts(const QString &sourcePath, SplitMode mode, int64_t totalSamples);
    // Ends a run that failed: the status and the message say why.
    SplitOutcome Fail(const QString &text);
    // Ends a run that was read through or cancelled; `damage` names what the
    // source's reader could not decode.
    SplitOutcome EndRun(const QString &damage);
    void CloseWriterQuietly();
    // The run when run_.Lossless: parts are cut from the source's MP3 frames.
    SplitOutcome RunLossless(SplitMode mode);
    // The block loop of the Exact precision: the block that crosses a part
    // end is divided at the planned frame.
    void ReadExact(SplitMode mode);
    // The block loop of the four block precisions.
    void ReadBlocks(SplitMode mode);
    // Frame at which part k ends: the plan's point rounded up; the source's end for the last part.
    int64_t PartEnd(int32_t k, int64_t totalSamples) const;
    // Parts written at once on worker threads: settings.jobs (0: every core),
    // no more than there are parts to write; 1 where that cannot give the
    // files a reading through gives.
    int ParallelJobs(int64_t totalSamples) const;
    // The run of the re-encoding split on `jobs` workers.
    SplitOutcome RunInParallel(SplitMode mode, int jobs, int sourceRate);
    // The frames of each saved part that a reading through writes to it.
    std::vector<PartJob> PartRanges(SplitMode mode, int64_t totalSamples) const;
    // The tag fields of part k (the `ordinal`-th part written): its planned
    // name as title, "ordinal/n" as track, and the part's own
    // tag where the plan has one.
    void TagPart(int32_t k, int32_t ordinal);
    void TagPart(TAudioInformation2 &info, int32_t k, int32_t ordinal) const;
    // Tells FileW the source's format and the length of part k, before its file is created.
    void AnnouncePart(int32_t k);
    // The next block of the source; a failing read ends the run as PartReadError.
    PcmArray ReadSourceBlock();
    bool PartSaved(SplitMode mode, int32_t k) const;
    void BeginPart(SplitMode mode, int32_t k);
    void WriteBlock(SplitMode mode, const PcmArray &block);
    QString PartFileName(SplitMode mode, int32_t k) const;
    // Chooses every part's file name once, in part order, before anything is
    // written, so that the serial, parallel and lossless runs write the same
    // names and no two parts are given one.
    void ResolvePartNames(SplitMode mode);
    bool WouldOverwriteSource(SplitMode mode, QString *partPath) const;
    // Two saved parts (numbers *first < *second) that share one file name.
    bool FindSharedPartFile(SplitMode mode, int32_t *first, int32_t *second) const;

    std::unique_ptr<TAudioFile2> reader_;
    TAudioFile2 &FileR;
    TAudioFile2 &FileW;
    TAudioInformation2 &AudioInformation;
    TAudioFile2LameEnc &MP3LameEncoder;
    TProgramSettings settings_;
    SplitPlan &plan_;
    SplitRun &run_;
    RunReport &observer_;
    QString sourcePath_;
    SplitMode mode_ = SplitMode::ByAmount; // of the run in progress
    int32_t partsToWrite_ = 0; // parts this run writes: the n of each part's "k/n"
    int32_t partsNumbered_ = 0;
    std::vector<QString> partNames_; // index k: the file name this run writes part k to
    std::vector<PartSpan> spans_; // of the run in progress, every part's
    QString currentPartPath_;     // the part file open in FileW, for removing it
};

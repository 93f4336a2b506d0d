#pragma once
#include "audio/ReadLoss.h"
#include "split/SplitPlan.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

class TAudioFile2;
struct TAudioFile2LameEnc;

// Frames [start, end) of the source that a reading through in blocks of
// `blockFrames` (or, when `exact`, cut at each planned frame) writes to one
// part, and `begins`: the frames it must have read to begin that part.
struct PartSpan {
    int64_t start = 0;
    int64_t end = 0;
    int64_t begins = 0;
};
// The spans of parts 1..partCount (index k - 1 for part k) of a source of
// `totalSamples` frames cut at `points` (SplitPlan::SamplePoints); parts a
// reading through never begins (points past the end) are left out.
std::vector<PartSpan> SplitPartSpans(const SamplePointsArr &points, int32_t partCount, int64_t totalSamples,
                                     int64_t blockFrames, bool exact);

// One part file of a split made by a reader and a writer of its own: frames
// [start, end) of the source, handed to the writer in the pieces a reading
// through in blocks of `blockFrames` hands it (the blocks cut at start and end).
struct PartJob {
    int32_t part = 0; // from 1
    QString path;
    int64_t start = 0;
    int64_t end = 0;
    // A reading through begins this part once it has read this many frames:
    // a source that ends before gets no such part.
    int64_t begins = 0;
};

struct PartOutcome {
    enum class Failure { None, Open, Read, Write };
    Failure failure = Failure::None;
    QString reason; // the library's words, or the reader's message for Read
    bool closed = false;  // the file was written and closed, perhaps cut short by a stop
    bool removed = false; // a file was begun and removed: its reading failed, or the part was given up
    std::vector<ReadLoss> losses; // what the part's reading could not decode
};

// Writes the parts on `jobs` workers of an OrderedPool, each with its own
// reader (moved to a part's first frame by an exact seek) and its own writer,
// the parts handed out in order. A failing part gives up the parts after it,
// as a reading through would never have reached them. The calling thread only
// relays: it never waits on a worker for longer than a breath.
class ParallelParts {
public:
    struct Hooks {
        // Prepares a worker's writer; called on the calling thread before the workers start.
        std::function<void(TAudioFile2 &writer, TAudioFile2LameEnc &encoder)> configure;
        // parts[index] is written and closed for good: called on the worker
        // that wrote it, at once (so tagging it costs the window nothing), or
        // on the calling thread at the end of the run for a part the source
        // ran out in. Never for a part that is given up.
        std::function<void(size_t index)> finished;
        // Called between breaths with the frames written so far; false stops
        // the run: running parts end after their current block and are closed,
        // parts not started are passed over.
        std::function<bool(int64_t framesWritten)> breathe;
    };

    // Returns each job's outcome, in the jobs' order; a passed-over part has
    // failure None and closed false. What is left on disk is what a reading
    // through would have left: when a part fails, the parts before it are
    // still written to their end and the parts after it are given up (their
    // files removed, even those already closed); a part whose reading fails
    // is removed too; when the source ends before its length says, the parts
    // a reading through would not have begun are removed and their outcomes
    // are those of parts passed over.
    static std::vector<PartOutcome> Run(const QString &sourcePath, int32_t blockFrames, int jobs,
                                        const std::vector<PartJob> &parts, const Hooks &hooks);
};

// The line an error adds when the part being written had to go: a part cut
// short where the source failed would pass for a whole one.
QString RemovedPartLine(const QString &path);
// What the user is told of a part that failed.
QString PartFailureText(const PartOutcome &outcome, const PartJob &job, const QString &sourcePath);

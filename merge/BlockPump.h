#pragma once
#include <QString>
#include <atomic>
#include <cstdint>

class TAudioFile2;
class TAudioInformation2;
class RunReport;

// A source ready to be read: its length as the run counts it, or why it could not be opened.
struct OpenedSource {
    bool opened = false;
    int64_t length = 0; // sample frames, the row's 100%
    QString failure;    // "Cannot open X: reason" when not opened
};

// Shows the row at 0%, measures `path` through `info` and opens it in `reader`.
// The length comes from the tag reader, as the list's totals do, so the row
// and the gauge end where the list said they would.
OpenedSource OpenSource(TAudioInformation2 &info, TAudioFile2 &reader, int row, const QString &path,
                        RunReport &observer);

// Where a source's block pass stands on the list: the row and the gauge it moves.
struct PumpPass {
    QString source;         // its path, as the damage line names it
    int row = 0;            // counted from 1
    int32_t blockSize = 0;  // elements per read
    int64_t length = 0;     // sample frames of the source: the row's 100%
    int64_t listDone = 0;   // sample frames of the sources before this one
    int64_t listTotal = 0;  // sample frames of the whole list: the gauge's 100%; 0 moves no gauge
    // The conversion shows a row's percentage only beside the gauge; the merge shows it always.
    bool rowOnlyWithGauge = false;
    // When set, the source's position (sample frames) is stored here after
    // each block, for a run that adds up the progress of files on other threads.
    std::atomic<int64_t> *position = nullptr;
    // Linear gain on every sample before it is written (a normalised merge); 1 leaves them as read.
    float gain = 1.0f;
};

struct PumpResult {
    enum End { Drained, Stopped, ReadFailed, WriteFailed } end = Drained;
    QString reason; // the component's own words when failed
    // DamageLine of the source when drained or stopped: asked before the reader closes.
    QString damage;
};

// Reads the open source block by block into the open writer, moving the
// gauge and the row after each block, then lets the window breathe; ends
// after the block during which `running` turned false. The writer's input
// format follows the reader before every read (a comparison when unchanged),
// so a merge's writer takes each source as it comes. Neither file is closed.
PumpResult PumpBlocks(TAudioFile2 &reader, TAudioFile2 &writer, RunReport &observer, const PumpPass &pass,
                      const bool &running);
// The same for a file converted on a worker thread, stopped from another.
PumpResult PumpBlocks(TAudioFile2 &reader, TAudioFile2 &writer, RunReport &observer, const PumpPass &pass,
                      const std::atomic<bool> &running);

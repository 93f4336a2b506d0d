#pragma once
#include "base/OutputFormat.h"
#include "config/ProgramSettings.h"
#include "merge/ReplayGainRun.h"

#include <QHash>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class TAudioFile2;
struct TAudioFile2LameEnc;
class TAudioInformation2;
class RunReport;
struct ConvertFileOutcome;

// What the convert panel holds when Convert is pressed.
struct ConvertRequest {
    QStringList sources;          // the list's paths, first row first
    QString savePath;             // EdSavePath2, ends with a separator
    int formatIndex = 0;          // cbFormat2: 0 MP3, 1 WAV, 2 WMA, 3 OGG
    bool copyTags = false;        // "Auto save ID3 tags"
    int64_t listTotalSamples = 0; // sample frames, progress denominator
    QString mergeFileName;        // saved with the general settings
    // Files converted at once, each on a worker thread of its own; 0 takes
    // every core. 1 converts file after file on the calling thread.
    int jobs = 1;
    // Outputs below savePath at each source's place in the folder it was
    // added from (baseFolders: source -> that folder; merge/FolderSources.h).
    bool keepStructure = false;
    QHash<QString, QString> baseFolders;
    // A source whose output is there and newer than the source is passed
    // over ("Skipped" in its row) instead of converted to a "New_" name.
    bool skipExisting = false;
    // Output names from tags (merge/NameTemplate.h); empty: the source's name.
    QString nameTemplate;
    // "Write ReplayGain tags": track and album gain and peak from the
    // loudness of what each file's encoder was given.
    bool replayGain = false;
};

// Turns every source into a file of its own, in list order, block by block on
// the calling thread, breathing through the observer after each block. With
// more than one job the files are converted on worker threads, each with a
// reader and writer of its own, started in list order; the calling thread
// then only relays their reports to the observer and breathes, and returns
// when every file has ended. The observer is called on the calling thread only.
class ConvertEngine {
public:
    // The engine reads with a reader of its own: the window's belongs to its preview.
    ConvertEngine(TAudioFile2 &fileW, TAudioInformation2 &info, TAudioFile2LameEnc &encoder, RunReport &observer);
    ~ConvertEngine();

    // Why the Convert button cannot start with this request ("Please add
    // files first!"); empty when it can.
    static QString Refusal(const ConvertRequest &request);
    // cbFormat2's item, an index outside the list taken as its nearest end.
    static OutputFormat ChosenFormat(const ConvertRequest &request);
    // The Convert button (and the context menu's start item): reports a
    // refusal, else runs the conversion; pressed during a run it stops the
    // run instead (the call then returns at once).
    void Start(const ConvertRequest &request, const TProgramSettings &settings);

    // Also while a stopped run's workers are still closing their files.
    bool Converting() const { return converting_ || workersBusy_; }
    // Asks a running conversion to end after its current block (every running
    // file's); files not yet started are passed over.
    void Stop() { converting_ = false; }
    int CurrentIndex() const { return currentIndex_; }
    // Sources of the last run passed over as already converted.
    int Skipped() const { return skipped_; }

private:
    void RunConversion(const ConvertRequest &request, const TProgramSettings &settings);
    // One source: prepare the writer for the format, convert, copy the tag.
    void ConvertSource(const ConvertRequest &request, const TProgramSettings &settings);
    // The sources on `jobs` worker threads.
    void ConvertInParallel(const ConvertRequest &request, const TProgramSettings &settings, int jobs);
    // A listed file that is gone: its box, and it counts as a failed file.
    void PassOverMissing(int row, const QString &path);
    // A source whose output is up to date (skipExisting).
    void PassOverConverted(int row);
    QStringList SkippedLines() const; // the end message's line on them
    // Tags the measured outputs at the end of a run; notes and warnings join warnings_.
    void FinishReplayGain(const ConvertRequest &request, bool albums);
    // Adds one file's end to the run's counts and end message.
    void Tally(const ConvertFileOutcome &outcome);
    void CloseQuietly();
    void BackToIdle();
    // Tells how many files are done and left, and the time left as the
    // samples so far took (files where lengths are unknown).
    void ShowFilesLeft(int done, int count, int64_t samples, int64_t total);

    std::unique_ptr<TAudioFile2> reader_;
    TAudioFile2 &fileR_;
    TAudioFile2 &fileW_;
    TAudioInformation2 &info_;
    TAudioFile2LameEnc &encoder_;
    RunReport &observer_;

    // Read by the workers after each block, hence atomic.
    std::atomic<bool> converting_ = false;
    // A parallel run has workers that have not ended yet.
    bool workersBusy_ = false;
    int currentIndex_ = 0;
    QString currentInput_;
    int64_t samplesDone_ = 0;
    QElapsedTimer clock_; // since the run began
    int failures_ = 0;
    int skipped_ = 0;
    QStringList failureLines_; // why each failed file failed, for the end message
    QStringList warnings_;     // one line per damaged source, for the end message
    // Set when the output folder refused a file; the run ends with it alone.
    QString folderFailure_;
    std::vector<MeasuredOutput> measured_;
};

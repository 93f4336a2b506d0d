#pragma once
#include "config/ProgramSettings.h"

#include <QString>
#include <QStringList>
#include <cstdint>

class TAudioFile2;
struct TAudioFile2LameEnc;
class TAudioInformation2;
class RunObserver;

// The tag values last accepted in the tag dialog; empty until its first OK.
struct TMergeTag {
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
    TMergeTag tag;
};

// Prepares `fileW` for MP3 output: the VBR settings go through `encoder`,
// constant bit rate through SetMp3Format with the stored 1-based channel mode.
void ConfigureMp3Output(TAudioFile2 &fileW, TAudioFile2LameEnc &encoder, const TProgramSettings &s);

// Joins every source, in list order, into one output file, block by block on
// the calling thread, breathing through the observer after each block.
class TMergeEngine {
public:
    TMergeEngine(TAudioFile2 &fileR, TAudioFile2 &fileW, TAudioInformation2 &info, TAudioFile2LameEnc &encoder,
                 RunObserver &observer);

    // The Merge button: checks the request, runs the merge and returns when it
    // has ended (completed, stopped or failed). Everything is reported through
    // the observer. `settings` supplies the encoder fields.
    void Run(const MergeRequest &request, const TProgramSettings &settings);

    bool Merging() const { return merging_; }
    // Asks a running merge to end after its current block.
    void Stop() { merging_ = false; }

    int CurrentIndex() const { return currentIndex_; }
    QString MergeFileName() const { return mergeFileName_; }
    void SetMergeFileName(const QString &name) { mergeFileName_ = name; }

private:
    enum class Outcome { Finished, Failed };
    Outcome MergeSources(const MergeRequest &request, const QString &outputPath);
    void Fail(const QString &text, const QString &outputPath, bool removeOutput);
    void CloseQuietly();

    TAudioFile2 &fileR_;
    TAudioFile2 &fileW_;
    TAudioInformation2 &info_;
    TAudioFile2LameEnc &encoder_;
    RunObserver &observer_;

    bool merging_ = false;
    int currentIndex_ = 0;
    int64_t samplesDone_ = 0;
    int32_t blockSize_ = 0;
    QString mergeFileName_;
};

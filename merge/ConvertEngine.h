#pragma once
#include "config/ProgramSettings.h"

#include <QString>
#include <QStringList>
#include <cstdint>

class TAudioFile2;
struct TAudioFile2LameEnc;
class TAudioInformation2;
class RunObserver;

// What the convert panel holds when Convert is pressed.
struct ConvertRequest {
    QStringList sources;          // the list's paths, first row first
    QString savePath;             // EdSavePath2, ends with a separator
    int formatIndex = 0;          // cbFormat2: 0 MP3, 1 WAV, 2 WMA, 3 OGG
    bool copyTags = false;        // "Auto save ID3 tags"
    int64_t listTotalSamples = 0; // sample frames, progress denominator
    QString mergeFileName;        // saved with the general settings
};

// Prepares `fileW` for OGG output: quality mode wins; otherwise the bit rates
// are checked first and "Incorrect format" leaves the writer as it stands.
void ConfigureOggOutput(TAudioFile2 &fileW, const TProgramSettings &s, RunObserver &observer);

// Turns every source into a file of its own, in list order, block by block on
// the calling thread, breathing through the observer after each block.
class TConvertEngine {
public:
    TConvertEngine(TAudioFile2 &fileR, TAudioFile2 &fileW, TAudioInformation2 &info, TAudioFile2LameEnc &encoder,
                   RunObserver &observer);

    // The Convert button (and the context menu's start item): checks, saves the
    // general settings, then runs the conversion; pressed during a run it stops
    // the run instead (the call then returns at once).
    void Start(const ConvertRequest &request, const TProgramSettings &settings);

    bool Converting() const { return converting_; }
    // Asks a running conversion to end after its current block.
    void Stop() { converting_ = false; }
    int CurrentIndex() const { return currentIndex_; }

private:
    void RunConversion(const ConvertRequest &request, const TProgramSettings &settings);
    // One source: prepare the writer for the format, convert, copy the tag.
    void ConvertSource(const ConvertRequest &request, const TProgramSettings &settings);
    // false when the file failed (already reported).
    bool ConvertOneFile(const QString &input, const QString &written, int64_t listTotalSamples);
    void FileFailed(const QString &text, const QString &written);
    void CloseQuietly();
    void BackToIdle();

    TAudioFile2 &fileR_;
    TAudioFile2 &fileW_;
    TAudioInformation2 &info_;
    TAudioFile2LameEnc &encoder_;
    RunObserver &observer_;

    bool converting_ = false;
    int currentIndex_ = 0;
    QString currentInput_;
    int64_t samplesDone_ = 0;
    int failures_ = 0;
    QStringList warnings_; // one line per damaged source, for the end message
};

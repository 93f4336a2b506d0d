#pragma once
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class LoudnessMeter;

// One converted file whose loudness was measured as it was encoded.
struct MeasuredOutput {
    QString written;  // the output
    QString albumKey; // AlbumKeyOf its source
    std::shared_ptr<LoudnessMeter> loudness;
};

// What makes tracks one album: the source's album tag where it has one,
// else the folder it lies in.
QString AlbumKeyOf(const QString &source, const QString &albumTag);

// Writes track gain and peak into every output and, with `albums`, album
// gain and peak over each album's outputs. Returns a "Warning: " line per
// output whose tags could not be written; the audio stays.
QStringList WriteReplayGainTags(const std::vector<MeasuredOutput> &outputs, bool albums);

// The end message's line for an output format with no place for the tags
// ("WAV"); one per run.
QString NoReplayGainNote(const QString &formatName);

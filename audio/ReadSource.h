#pragma once
// Opening a source and what is known about it before decoding: shared by the
// decoder and the information component so both report the same length.
#include "audio/FfmpegUtil.h"
#include "audio/MpegScan.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace audio_detail {

// An opened container with its audio stream. Throws AudioError naming the file.
struct OpenedContainer {
    InputFormatPtr format;
    int streamIndex = -1;
    AVStream *stream() const { return format->streams[streamIndex]; }
};
OpenedContainer openSource(const QString &path);
// Bytes [begin, end) of the file opened as if they were a file of their own:
// one of the streams of a file that holds several end to end.
OpenedContainer openSource(const QString &path, int64_t begin, int64_t end);

// "x.mp3" as the user knows it, for messages.
QString displayName(const QString &path);

enum class SeekMethod {
    Timestamps, // seek the container, then place frames by their timestamps
    Restart,    // timestamps are not trustworthy: decode from the start and discard
    Frames      // MPEG audio fed by our own frame walk: seek to a frame by its index
};

struct SourceFacts {
    int sampleRate = 0;
    int channels = 0;
    int64_t length = 0;        // frames the decoder yields
    bool exactLength = false;  // the container records it exactly; output is cut there
    int64_t frontSkip = 0;     // decoded frames before position 0 (decoder delay FFmpeg keeps)
    SeekMethod seek = SeekMethod::Restart;
    int64_t seekPreroll = 0;   // frames decoded and dropped before a seek target
    // After a seek the decoder yields the very samples a reading through
    // yields: it keeps no state the preroll cannot rebuild.
    bool seekReproducesReading = true;
    int64_t timestampGrid = 0; // coarse timestamps: frame starts are multiples of this
    QString formatText;        // one line for the user
    MpegScan mpeg;             // valid for MPEG audio
    int mpegPart = -1;         // decoded from our own walk of the frames of mpeg.parts[mpegPart]

    // A file that holds several streams end to end (joined MP3 files, chained
    // Ogg): each part as if it were a file of its own, in order; the facts
    // above then describe the first and the length is the sum. Empty for a
    // file of one stream.
    std::vector<SourceFacts> parts;
    int64_t byteBegin = 0;     // a part's bytes in the file
    int64_t byteEnd = -1;      // -1: to the end of the file
    bool unreadable = false;   // a part that could not be opened (its audio is missing)
};
SourceFacts describeSource(const QString &path, const OpenedContainer &src);

} // namespace audio_detail

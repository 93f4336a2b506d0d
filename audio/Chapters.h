#pragma once
// Chapter marks of one audio file: where each chapter starts and what it is
// called. Written into a merged file in the form its format carries, read
// back from any file FFmpeg reads.
#include <QString>
#include <cstdint>
#include <vector>

struct ChapterMark {
    int64_t startFrame = 0; // sample frames from the start of the audio
    int sampleRate = 0;     // of startFrame
    QString title;

    double StartSeconds() const { return sampleRate > 0 ? double(startFrame) / sampleRate : 0.0; }
};
using ChapterList = std::vector<ChapterMark>;

// Whether files of this name's extension hold chapters: MP3 (ID3v2 CHAP and
// CTOC frames), Ogg Vorbis, Opus and FLAC (CHAPTERnnn Vorbis comments), MP4
// (.m4a, .m4b: a chapter track and a Nero chapter list).
bool FormatCarriesChapters(const QString &path);

// Replaces the chapters of the file at `path` by `chapters` (in order, each
// starting after the one before); the last ends at endFrame (at the
// chapters' rate). Every other tag field stays. Throws AudioError naming the
// file when it cannot be written or its format holds no chapters.
void WriteChapters(const QString &path, const ChapterList &chapters, int64_t endFrame);

// The file's chapters in order, at the rate of its audio stream; none when
// it has none. Throws AudioError naming the file when it cannot be read.
ChapterList ReadChapters(const QString &path);

// "HH:MM:SS.mmm", the form of a CHAPTERnnn comment, to the nearest millisecond.
QString ChapterTimeText(int64_t frame, int sampleRate);

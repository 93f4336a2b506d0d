#pragma once
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdint>

// Test fixtures made and checked by independent tools (ffmpeg, ffprobe, sox,
// mpcenc), so our components are never their own only judge.
namespace fixtures {

// Runs a program; returns its exit code (-1 when it could not start).
// stdout goes to *out when given.
int Run(const QString &program, const QStringList &args, QByteArray *out = nullptr, int timeoutMs = 120000);

// A tone made by ffmpeg: a sine at `hz` for `seconds`, at `rate` and `channels`,
// written to `path` with the given extra output arguments (codec, bit rate).
// The container follows the extension. Fails the test on error.
void MakeTone(const QString &path, double seconds, int rate = 44100, int channels = 2,
              const QStringList &outputArgs = {}, int hz = 440);

// Stream facts from ffprobe for the first audio stream.
struct Probe {
    QString codec;       // codec_name
    int sampleRate = 0;
    int channels = 0;
    double duration = 0; // seconds, as ffprobe reports it
    int bitsPerSample = 0;
    QJsonObject tags;    // format tags merged with stream tags, keys lower-case
    QJsonObject raw;     // the whole ffprobe answer
};
Probe ProbeFile(const QString &path);

// Exact count of frames ffmpeg decodes from the file (as 32-bit float).
int64_t DecodedFrames(const QString &path);
// The decoded samples themselves, interleaved float, at the file's own rate and channels.
std::vector<float> DecodedSamples(const QString &path);

// Whether a tool is installed (tests skip when it is not).
bool HaveTool(const QString &program);

} // namespace fixtures

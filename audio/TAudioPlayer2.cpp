#include "audio/TAudioPlayer2.h"

#include "audio/AudioError.h"

#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QMediaDevices>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <deque>

namespace {

// The pump writes to the sink and raises the events from one timer on the UI
// thread, so every event arrives through the message loop.
constexpr int kPumpIntervalMs = 20;
constexpr int kTicksPerTimerEvent = 4;  // OnTimer about every 80 ms
constexpr int kSinkBufferMs = 250;      // bounds how far PlayedSamples may lead what was heard
constexpr int kQueueLowArrays = 2;      // fewer audio arrays than this waiting: ask for more
// Waiting arrays that stay missing this long after the sink ran dry end the
// playback, so a feeder that stopped without queuing an empty array still gets
// its OnEndPlay.
constexpr int kStarvedTicksForEnd = 1000 / kPumpIntervalMs;

enum PlayerError { NoError = 0, NoOutputDevice = 1, FormatUnsupported = 2, SinkFailed = 3 };

int PeakLevel(float v)
{
    const float a = std::fabs(v);
    return a >= 1.0f ? 32767 : static_cast<int>(a * 32767.0f);
}

} // namespace

struct TAudioPlayer2::Impl {
    // An array waiting to be handed to the sink. An empty array marks the end
    // of the data.
    struct Queued {
        PcmArray pcm;
        int64_t frames = 0;
        int channels = 0; // the format the array was queued in
        int peakLeft = 0, peakRight = 0;
    };
    // An array handed to the sink completely; it has played once the played
    // count reaches endFrame (frames since Play).
    struct InFlight {
        int64_t endFrame = 0;
        int peakLeft = 0, peakRight = 0;
    };

    TAudioPlayer2 *q;
    int rate = 44100;   // SetFormat: what LoadArray takes
    int channels = 2;
    int sinkRate = 0;   // what the running sink plays
    int sinkChannels = 0;

    std::deque<Queued> queue;
    int64_t headFrames = 0;  // frames of queue.front() already converted
    std::deque<InFlight> inFlight;
    QByteArray pending;      // converted bytes the sink has not taken yet

    std::unique_ptr<QAudioSink> sink;
    QIODevice *out = nullptr;
    int bytesPerFrame = 0;
    bool floatOutput = false;

    bool playing = false;
    bool endSeen = false;    // an end marker was reached with nothing after it
    int64_t writtenBytes = 0;
    int64_t played = 0;      // frames heard since Play, never decreasing
    int lastError = NoError;
    int tick = 0;
    int starvedTicks = 0;
    uint64_t generation = 0; // changes on Play/Stop, so an event handler that restarts the player ends the pump pass

    QTimer pump;

    explicit Impl(TAudioPlayer2 *owner) : q(owner)
    {
        pump.setInterval(kPumpIntervalMs);
        pump.setTimerType(Qt::PreciseTimer);
        QObject::connect(&pump, &QTimer::timeout, q, [this] { Pump(); });
    }

    int64_t AudioArraysWaiting() const
    {
        return std::count_if(queue.begin(), queue.end(), [](const Queued &a) { return a.frames > 0; });
    }

    void ReleaseSink()
    {
        pump.stop();
        if (sink) {
            sink->stop();
            sink.reset();
        }
        out = nullptr;
    }

    int64_t WrittenFrames() const { return bytesPerFrame ? writtenBytes / bytesPerFrame : 0; }

    // Frames heard since Play. The sound server's own play position
    // (processedUSecs) moves smoothly but may stall between its timing
    // updates; what the sink took minus what it still holds is never more than
    // one sink buffer ahead of the speaker but moves in coarse steps. The
    // larger of the two, never beyond what was written and never going back.
    void UpdatePlayed()
    {
        if (!sink || !bytesPerFrame)
            return;
        const int64_t written = WrittenFrames();
        int64_t buffered = 0;
        if (sink->state() == QAudio::ActiveState)
            buffered = std::max<int64_t>(0, sink->bufferSize() - sink->bytesFree()) / bytesPerFrame;
        const int64_t byServer = static_cast<int64_t>(static_cast<__int128>(sink->processedUSecs()) * sinkRate / 1000000);
        const int64_t heard = std::clamp<int64_t>(std::max(written - buffered, byServer), 0, written);
        played = std::max(played, heard);
    }

    void Convert(const float *src, int64_t frames, QByteArray &dst) const
    {
        const int64_t n = frames * sinkChannels;
        const qsizetype at = dst.size();
        if (floatOutput) {
            dst.resize(at + n * static_cast<qsizetype>(sizeof(float)));
            std::memcpy(dst.data() + at, src, n * sizeof(float));
        } else {
            dst.resize(at + n * static_cast<qsizetype>(sizeof(int16_t)));
            auto *d16 = reinterpret_cast<int16_t *>(dst.data() + at);
            for (int64_t i = 0; i < n; ++i) {
                const float v = std::clamp(src[i], -1.0f, 1.0f);
                d16[i] = static_cast<int16_t>(std::lround(v * 32767.0f));
            }
        }
    }

    // Hands the sink as much queued audio as it takes now.
    void Feed()
    {
        for (;;) {
            if (!pending.isEmpty()) {
                const qint64 n = out->write(pending);
                if (n <= 0)
                    return;
                writtenBytes += n;
                pending.remove(0, n);
                if (!pending.isEmpty())
                    return;
            }
            const int64_t room = sink->bytesFree() / bytesPerFrame;
            if (room <= 0 || queue.empty())
                return;
            Queued &head = queue.front();
            if (head.frames == 0) {
                // End marker: the end of the data unless audio follows it.
                queue.pop_front();
                endSeen = AudioArraysWaiting() == 0;
                continue;
            }
            if (head.channels != sinkChannels) {
                // Queued before a change of format: it cannot be played as is.
                queue.pop_front();
                headFrames = 0;
                continue;
            }
            endSeen = false;
            const int64_t take = std::min(room, head.frames - headFrames);
            Convert(head.pcm.data() + headFrames * sinkChannels, take, pending);
            headFrames += take;
            if (headFrames == head.frames) {
                const int64_t end = (writtenBytes + pending.size()) / bytesPerFrame;
                inFlight.push_back({end, head.peakLeft, head.peakRight});
                queue.pop_front();
                headFrames = 0;
            }
        }
    }

    void EndPlayback()
    {
        ReleaseSink();
        playing = false;
        queue.clear();
        headFrames = 0;
        inFlight.clear();
        pending.clear();
        ++generation;
        emit q->OnEndPlay();
    }

    void Pump()
    {
        if (!playing || !sink)
            return;
        const uint64_t run = generation;
        if (sink->error() == QAudio::OpenError || sink->error() == QAudio::FatalError) {
            // The device went away: playback cannot go on.
            EndPlayback();
            return;
        }
        Feed();
        UpdatePlayed();

        while (!inFlight.empty() && inFlight.front().endFrame <= played) {
            inFlight.pop_front();
            emit q->OnEndArrayPlay();
            if (run != generation)
                return;
        }

        if (++tick % kTicksPerTimerEvent == 0) {
            int left = 0, right = 0;
            if (!inFlight.empty()) {
                left = inFlight.front().peakLeft;
                right = inFlight.front().peakRight;
            } else if (!queue.empty() && headFrames > 0) {
                left = queue.front().peakLeft;
                right = queue.front().peakRight;
            }
            emit q->OnTimer(played, left, right);
            if (run != generation)
                return;
        }

        const bool nothingWaiting = AudioArraysWaiting() == 0 && pending.isEmpty();
        const bool drained = nothingWaiting && inFlight.empty() && played >= WrittenFrames();
        if (drained && (endSeen || (queue.empty() && WrittenFrames() > 0 && ++starvedTicks >= kStarvedTicksForEnd))) {
            EndPlayback();
            return;
        }
        if (!drained)
            starvedTicks = 0;

        const bool endQueued = endSeen || std::any_of(queue.begin(), queue.end(), [](const Queued &a) { return a.frames == 0; });
        if (!endQueued && AudioArraysWaiting() < kQueueLowArrays)
            emit q->OnRequestOnLoadArray();
    }
};

TAudioPlayer2::TAudioPlayer2(QObject *parent) : QObject(parent), d(std::make_unique<Impl>(this)) {}

TAudioPlayer2::~TAudioPlayer2()
{
    d->ReleaseSink();
}

void TAudioPlayer2::SetFormat(int sampleRate, int channels)
{
    if (sampleRate <= 0 || channels <= 0)
        throw AudioError(QString("The player cannot use %1 Hz with %2 channels.").arg(sampleRate).arg(channels));
    d->rate = sampleRate;
    d->channels = channels;
}

int TAudioPlayer2::MillisecondsToSamples(int ms) const
{
    return static_cast<int>(static_cast<int64_t>(ms) * d->rate / 1000);
}

int64_t TAudioPlayer2::SamplesToMilliseconds(int64_t frames) const
{
    if (d->rate <= 0)
        return 0;
    return static_cast<int64_t>(static_cast<__int128>(frames) * 1000 / d->rate);
}

void TAudioPlayer2::LoadArray(const PcmArray &pcm)
{
    Impl::Queued a;
    const int ch = d->channels;
    a.channels = ch;
    a.frames = static_cast<int64_t>(pcm.size()) / ch; // a trailing partial frame is dropped
    if (a.frames > 0) {
        a.pcm.assign(pcm.begin(), pcm.begin() + a.frames * ch);
        float l = 0, r = 0;
        for (int64_t i = 0; i < a.frames; ++i) {
            l = std::max(l, std::fabs(a.pcm[i * ch]));
            r = std::max(r, std::fabs(a.pcm[i * ch + (ch > 1 ? 1 : 0)]));
        }
        a.peakLeft = PeakLevel(l);
        a.peakRight = PeakLevel(r);
    }
    d->queue.push_back(std::move(a));
    d->starvedTicks = 0;
}

void TAudioPlayer2::Play()
{
    d->ReleaseSink();
    ++d->generation;
    d->lastError = NoError;
    d->playing = false;
    d->endSeen = false;
    d->writtenBytes = 0;
    d->played = 0;
    d->tick = 0;
    d->starvedTicks = 0;
    d->inFlight.clear();
    d->pending.clear();
    // A partly converted head array starts over: the sink that took its first
    // part is gone.
    d->headFrames = 0;

    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        d->lastError = NoOutputDevice;
        return;
    }
    QAudioFormat format;
    format.setSampleRate(d->rate);
    format.setChannelCount(d->channels);
    format.setSampleFormat(QAudioFormat::Float);
    if (!device.isFormatSupported(format)) {
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            d->lastError = FormatUnsupported;
            return;
        }
    }
    d->sinkRate = d->rate;
    d->sinkChannels = d->channels;
    d->floatOutput = format.sampleFormat() == QAudioFormat::Float;
    d->bytesPerFrame = format.bytesPerFrame();
    d->sink = std::make_unique<QAudioSink>(device, format);
    d->sink->setBufferSize(format.bytesForDuration(kSinkBufferMs * 1000));
    d->out = d->sink->start();
    if (!d->out || d->sink->error() != QAudio::NoError) {
        d->ReleaseSink();
        d->lastError = SinkFailed;
        return;
    }
    d->playing = true;
    d->pump.start();
}

void TAudioPlayer2::Stop()
{
    if (d->playing)
        d->UpdatePlayed();
    d->ReleaseSink();
    ++d->generation;
    d->playing = false;
    d->queue.clear();
    d->headFrames = 0;
    d->inFlight.clear();
    d->pending.clear();
}

int64_t TAudioPlayer2::PlayedSamples() const
{
    if (d->playing)
        d->UpdatePlayed();
    return d->played;
}

int TAudioPlayer2::LastError() const { return d->lastError; }

PcmArray TAudioPlayer2::PeekArray(int) const { return {}; }

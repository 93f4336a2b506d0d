#include "audio/Decoder.h"
#include "audio/AudioError.h"
#include "audio/FfmpegUtil.h"
#include "audio/ReadSource.h"
#include "audio/SampleConversion.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace audio_detail {
namespace {

constexpr int kMaxReceiveErrors = 1000;

// Silence standing in for lost audio is handed out in blocks of this many
// frames as the reader asks, so a long gap costs no more memory than a short one.
constexpr int64_t kSilenceBlock = 1 << 16;

// The most silence one gap gets, in seconds. What a real recording loses (a
// dropped packet, a few damaged pages or sectors) lasts well under this, and
// filling it keeps what follows in time; a longer jump is a timestamp gone
// wrong far more often than lost audio (one bad ASF packet time can claim
// hours), and filling it would bury the rest of the file behind silence.
// The part of a gap beyond this is left out and reported.
constexpr int64_t kMaxGapSeconds = 10;

} // namespace

struct Decoder::Impl {
    // A stretch that could not be decoded, in output frames.
    using Loss = ReadLoss;

    QString path;
    SourceFacts facts;
    std::vector<int64_t> partStart; // output position where each part begins
    size_t part = 0;
    OpenedContainer src; // the current part, unless our own MPEG walk feeds it
    QFile mpegFile;
    const uchar *mpegData = nullptr;
    std::unique_ptr<MpegFrameWalker> walker;
    CodecContextPtr codec;
    PacketPtr packet{av_packet_alloc()};
    FramePtr frame{av_frame_alloc()};
    bool floatPcm = false; // float PCM: damaged bytes show as absurd values

    // Conversion for frames whose rate, channels or sample format differ from
    // the output's (the output keeps the stream's first format throughout).
    SwrConversion swr;

    // Converted frames not yet handed out: pending[head..] starts at position pos.
    std::vector<float> pending;
    size_t head = 0;
    int64_t pos = 0;

    int64_t nextPos = 0;      // position of the next converted frame (when placed)
    bool placed = true;       // false after a container seek until a timestamp arrives
    bool fromStart = true;    // decoding started at the beginning of the part
    int64_t placedAt = 0;     // where the first frame after a container seek landed
    int64_t dropBefore = 0;   // frames before this position are dropped
    int64_t origin = AV_NOPTS_VALUE; // timestamp (output frames) of position 0
    bool demuxEnd = false;
    bool partDone = false;
    bool finished = false;
    bool formatFixed = false; // the output format follows the first decoded frame

    // Damage: silence owed where audio was lost and its length is known (put
    // in before the next decoded frame, so later audio keeps its time; the
    // frames decoded meanwhile wait in `held` with their input rate), and
    // what was rejected since the last decoded frame.
    int64_t owedSilence = 0;
    std::vector<std::pair<FramePtr, int>> held;
    // Per part: a gap was left partly unfilled, so positions after it no
    // longer follow the container's timestamps or frame indexes.
    std::vector<char> timelineCut;
    int badPackets = 0;
    int64_t rejectedFrames = 0;
    int64_t rejectedAt = -1;
    int64_t lastReadError = -1;
    int receiveErrors = 0; // in a row, without a packet in between
    size_t partLosses = 0; // losses when the current part began
    std::vector<Loss> losses;

    int rate() const { return facts.sampleRate; }
    int ch() const { return facts.channels; }
    int64_t pendingFrames() const { return int64_t(pending.size() - head) / ch(); }
    size_t partCount() const { return facts.parts.empty() ? 1 : facts.parts.size(); }
    const SourceFacts &pf() const { return facts.parts.empty() ? facts : facts.parts[part]; }
    int64_t &partLength(size_t i) { return facts.parts.empty() ? facts.length : facts.parts[i].length; }
    int64_t partEnd() const { return partStart[part] + pf().length; }

    size_t partAt(int64_t target) const
    {
        size_t p = 0;
        while (p + 1 < partCount() && target >= partStart[p + 1])
            ++p;
        return p;
    }

    void openCodecFor(const AVCodec *dec, const AVCodecParameters *par)
    {
        if (!dec)
            throw AudioError(QStringLiteral("Cannot decode %1: no decoder for %2")
                                 .arg(displayName(path), QString::fromUtf8(avcodec_get_name(par ? par->codec_id : AV_CODEC_ID_NONE))));
        codec.reset(avcodec_alloc_context3(dec));
        if (!codec)
            throw AudioError(QStringLiteral("Cannot decode %1: out of memory").arg(displayName(path)));
        int rc = par ? avcodec_parameters_to_context(codec.get(), par) : 0;
        if (rc >= 0) {
            // Needed for the decoder's own trimming of delay and padding.
            if (par)
                codec->pkt_timebase = src.stream()->time_base;
            rc = avcodec_open2(codec.get(), dec, nullptr);
        }
        if (rc < 0)
            throw AudioError(QStringLiteral("Cannot decode %1: %2").arg(displayName(path), ffErrorText(rc)));
    }

    void openCodec()
    {
        const AVCodecParameters *par = src.stream()->codecpar;
        openCodecFor(avcodec_find_decoder(par->codec_id), par);
        const AVCodecID id = par->codec_id;
        floatPcm = id == AV_CODEC_ID_PCM_F32LE || id == AV_CODEC_ID_PCM_F32BE || id == AV_CODEC_ID_PCM_F64LE || id == AV_CODEC_ID_PCM_F64BE;
        // Cover art and other streams are not even demuxed.
        for (unsigned i = 0; i < src.format->nb_streams; ++i)
            if (int(i) != src.streamIndex)
                src.format->streams[i]->discard = AVDISCARD_ALL;
    }

    void openMpeg(const MpegPart &p)
    {
        if (!mpegData) {
            mpegFile.setFileName(path);
            if (mpegFile.open(QIODevice::ReadOnly))
                mpegData = mpegFile.map(0, mpegFile.size());
            if (!mpegData)
                throw AudioError(QStringLiteral("Cannot read %1: %2").arg(displayName(path), mpegFile.errorString()));
        }
        walker = std::make_unique<MpegFrameWalker>(mpegData, p.audioBegin, p.end, p.stream, false, p.lostReplacedFrames);
        const AVCodecID id = p.stream.layer == 1 ? AV_CODEC_ID_MP1 : p.stream.layer == 2 ? AV_CODEC_ID_MP2 : AV_CODEC_ID_MP3;
        openCodecFor(avcodec_find_decoder(id), nullptr);
        floatPcm = false;
    }

    void resetOutput(int64_t target)
    {
        pending.clear();
        head = 0;
        pos = target;
        dropBefore = target;
        demuxEnd = false;
        partDone = false;
        finished = false;
        badPackets = 0;
        receiveErrors = 0;
        owedSilence = 0;
        held.clear();
        rejectedFrames = 0;
        rejectedAt = -1;
        swr.reset();
    }

    // Part i from its beginning; `opened` is its source when already open.
    void openPart(size_t i, OpenedContainer opened = {})
    {
        part = i;
        codec.reset();
        walker.reset();
        src = std::move(opened);
        const SourceFacts &p = pf();
        demuxEnd = false;
        partDone = false;
        nextPos = partStart[i] - p.frontSkip;
        dropBefore = std::max(dropBefore, partStart[i]);
        placed = true;
        fromStart = true;
        origin = AV_NOPTS_VALUE;
        lastReadError = -1;
        partLosses = losses.size();
        if (p.unreadable) {
            // A chain whose headers are damaged: its audio is missing.
            addLoss(partStart[i], 0, true);
            partDone = true;
            return;
        }
        if (p.mpegPart >= 0) {
            src = {};
            openMpeg(facts.mpeg.parts[size_t(p.mpegPart)]);
            return;
        }
        if (!src.format)
            src = facts.parts.empty() ? openSource(path) : openSource(path, p.byteBegin, p.byteEnd);
        openCodec();
    }

    // Decoding the current part from its start, dropping what lies before target.
    void restartPart(int64_t target)
    {
        resetOutput(target);
        openPart(part);
    }

    void addLoss(int64_t at, int64_t frames, bool estimate, int64_t leftOut = 0)
    {
        at = std::max<int64_t>(at, 0);
        // Preroll before a seek target, or damage met again after seeking back.
        if ((frames > 0 && at + frames <= dropBefore) || (frames == 0 && at < dropBefore))
            return;
        AddReadLoss(losses, {at, frames, estimate, leftOut}, rate());
    }

    void reportRejected()
    {
        if (rejectedAt >= 0)
            addLoss(rejectedAt, rejectedFrames, true);
        rejectedAt = -1;
        rejectedFrames = 0;
    }

    // A packet or frame the decoder refused: skipped, as ffmpeg does; how long
    // it was is known only from the container's word.
    void rejected(int64_t frames)
    {
        ++badPackets;
        if (rejectedAt < 0)
            rejectedAt = nextPos;
        rejectedFrames += std::max<int64_t>(frames, 0);
    }

    float *appendSpace(int64_t frames)
    {
        const size_t before = pending.size();
        pending.resize(before + size_t(frames) * ch());
        return pending.data() + before;
    }

    // Drops the just appended frames [before..] that lie outside [dropBefore, part end).
    void place(size_t before)
    {
        const int64_t got = int64_t(pending.size() - before) / ch();
        const int64_t start = nextPos;
        nextPos += got;
        const bool exact = pf().exactLength;
        const int64_t end = partEnd();
        const int64_t dropN = std::clamp<int64_t>(dropBefore - start, 0, got);
        const int64_t keepEnd = exact ? std::clamp<int64_t>(end - start, 0, got) : got;
        if (dropN >= keepEnd) {
            pending.resize(before);
        } else {
            pending.resize(before + size_t(keepEnd) * ch());
            if (dropN > 0)
                pending.erase(pending.begin() + before, pending.begin() + before + size_t(dropN) * ch());
            if (before == head)
                pos = start + dropN;
        }
        if (exact && nextPos >= end)
            partDone = true;
    }

    // Owes silence for `frames` lost before the next decoded frame, up to
    // kMaxGapSeconds in a row; returns the frames beyond that, left out.
    int64_t owe(int64_t frames)
    {
        const int64_t fill = std::clamp<int64_t>(kMaxGapSeconds * rate() - owedSilence, 0, frames);
        owedSilence += fill;
        if (fill < frames)
            timelineCut[part] = 1;
        return frames - fill;
    }

    // One block of the owed silence; place() stops it at an exact end.
    void payOwedSilence()
    {
        drainSwr();
        const int64_t n = std::min(owedSilence, kSilenceBlock);
        owedSilence -= n;
        const size_t before = pending.size();
        std::fill_n(appendSpace(n), size_t(n) * ch(), 0.0f);
        place(before);
    }

    void drainSwr()
    {
        swr.drain(ch(), pending, [this](size_t before) { place(before); });
    }

    void convertWithSwr(const AVFrame *f, int inRate)
    {
        swr.convert(f, inRate, rate(), ch(), pending, [this](size_t before) { place(before); }, path);
    }

    // Damaged bytes of a float PCM file become absurd samples; the stretch
    // from the first to the last of them in this frame becomes silence.
    void silenceFloatGarbage(size_t before)
    {
        size_t from = 0, to = 0;
        if (!findFloatGarbage(pending.data() + before, pending.size() - before, size_t(ch()), from, to))
            return;
        std::fill(pending.begin() + before + from, pending.begin() + before + to, 0.0f);
        const size_t c = size_t(ch());
        addLoss(nextPos + int64_t(from / c), int64_t((to - from) / c), false);
    }

    void consume(const AVFrame *f)
    {
        if (f->nb_samples <= 0)
            return;
        int inRate = f->sample_rate;
        if (!formatFixed) {
            // The first frame can carry the stream's stale parameters (a joined
            // MPEG file whose later part FFmpeg probed); the context is current.
            if (codec->sample_rate > 0)
                inRate = codec->sample_rate;
            facts.sampleRate = inRate;
            facts.channels = f->ch_layout.nb_channels;
            formatFixed = true;
        }
        if (!walker) {
            const int64_t ts = f->best_effort_timestamp != AV_NOPTS_VALUE ? f->best_effort_timestamp : f->pts;
            const int64_t tsFrames = ts == AV_NOPTS_VALUE ? AV_NOPTS_VALUE : av_rescale_q(ts, src.stream()->time_base, AVRational{1, rate()});
            const int64_t grid = pf().timestampGrid;
            if (!placed) {
                if (tsFrames == AV_NOPTS_VALUE || origin == AV_NOPTS_VALUE)
                    return; // preroll without a timestamp: before the target anyway
                nextPos = tsFrames - origin;
                if (grid > 0)
                    nextPos = (nextPos + (nextPos >= 0 ? grid / 2 : -grid / 2)) / grid * grid;
                placedAt = nextPos;
                placed = true;
            } else if (fromStart && origin == AV_NOPTS_VALUE && tsFrames != AV_NOPTS_VALUE) {
                origin = tsFrames - nextPos;
            } else if (tsFrames != AV_NOPTS_VALUE && origin != AV_NOPTS_VALUE && pf().seek == SeekMethod::Timestamps) {
                // The container skipped what it could not read: its timestamps
                // say how much is missing.
                int64_t at = tsFrames - origin;
                if (grid > 0)
                    at = (at + (at >= 0 ? grid / 2 : -grid / 2)) / grid * grid;
                const int64_t gap = at - nextPos;
                if (gap > std::max<int64_t>(grid, rate() / 100)) {
                    rejectedAt = -1;
                    rejectedFrames = 0;
                    const int64_t leftOut = owe(gap);
                    addLoss(nextPos, gap, false, leftOut);
                    // Later timestamps are as far ahead of the output as
                    // what was left out.
                    origin += leftOut;
                }
            }
        }
        reportRejected();
        if (owedSilence > 0 || !held.empty()) {
            FramePtr copy(av_frame_alloc());
            if (!copy || av_frame_ref(copy.get(), f) < 0)
                throw AudioError(QStringLiteral("Cannot decode %1: out of memory").arg(displayName(path)));
            held.emplace_back(std::move(copy), inRate);
            return;
        }
        output(f, inRate);
    }

    // A decoded frame into pending, in the output's format.
    void output(const AVFrame *f, int inRate)
    {
        if (inRate == rate() && f->ch_layout.nb_channels == ch()) {
            if (swr.active())
                drainSwr();
            const size_t before = pending.size();
            if (convertFast(f, ch(), appendSpace(f->nb_samples))) {
                if (floatPcm)
                    silenceFloatGarbage(before);
                place(before);
                return;
            }
            pending.resize(before);
        }
        convertWithSwr(f, inRate);
    }

    // The current part has given all it has: on to the next, or the end.
    void endPart()
    {
        drainSwr();
        reportRejected();
        partDone = false;
        const SourceFacts &p = pf();
        const int64_t expected = partEnd();
        int64_t end = expected;
        // The end is now known for certain: a truncated file is shorter than
        // its header said, an estimated length becomes the true one.
        if (placed && (fromStart || nextPos > partStart[part])) {
            end = std::max(p.exactLength ? std::min(nextPos, expected) : nextPos, partStart[part]);
            // An exact length the audio fell well short of, with nothing
            // reported on the way: the rest could not be read.
            if (p.exactLength && losses.size() == partLosses && expected - end > rate() / 10)
                addLoss(end, expected - end, false);
        }
        if (const int64_t shift = end - expected) {
            partLength(part) += shift;
            for (size_t j = part + 1; j < partCount(); ++j)
                partStart[j] += shift;
            if (!facts.parts.empty())
                facts.length += shift;
        }
        if (part + 1 < partCount()) {
            openPart(part + 1);
            return;
        }
        finished = true;
        codec.reset();
    }

    // One frame of our own MPEG walk into the decoder.
    void stepMpeg()
    {
        const MpegFrameWalker::Step step = walker->next();
        const MpegPart &mp = facts.mpeg.parts[size_t(pf().mpegPart)];
        const int spf = mp.stream.samplesPerFrame;
        const auto out = [&](int64_t frames) {
            return mp.stream.sampleRate == rate() ? frames : int64_t(double(frames) * rate() / mp.stream.sampleRate + 0.5);
        };
        if (step.kind == MpegFrameWalker::Step::End) {
            partDone = true;
            return;
        }
        if (step.kind == MpegFrameWalker::Step::Lost) {
            if (!mp.lostReplacedFrames)
                return; // bytes put between frames: no audio is missing
            // The frames after it cannot draw on the lost ones' bit reservoir.
            avcodec_flush_buffers(codec.get());
            const int64_t at = nextPos + owedSilence;
            addLoss(at, out(step.frames * spf), !step.exact, step.exact ? owe(out(step.frames * spf)) : 0);
            return;
        }
        int rc = av_new_packet(packet.get(), int(step.bytes));
        if (rc < 0)
            throw AudioError(QStringLiteral("Cannot decode %1: out of memory").arg(displayName(path)));
        std::memcpy(packet->data, mpegData + step.offset, size_t(step.bytes));
        rc = avcodec_send_packet(codec.get(), packet.get());
        av_packet_unref(packet.get());
        int64_t got = 0;
        while (rc >= 0 && avcodec_receive_frame(codec.get(), frame.get()) == 0) {
            got += frame->nb_samples;
            consume(frame.get());
            av_frame_unref(frame.get());
        }
        if (got == 0) {
            // Every frame holds the same number of samples: keep the time.
            ++badPackets;
            const int64_t at = nextPos + owedSilence;
            addLoss(at, out(spf), false, owe(out(spf)));
        } else {
            badPackets = 0;
        }
    }

    // A read error of the container: go on while it makes progress (the
    // demuxer resynchronises), else the rest of the part is lost.
    bool readErrorPassable()
    {
        AVIOContext *pb = src.format->pb;
        if (!pb || avio_feof(pb))
            return false;
        const int64_t at = avio_tell(pb);
        if (at <= lastReadError)
            return false;
        lastReadError = at;
        if (rejectedAt < 0)
            rejectedAt = nextPos;
        return true;
    }

    // One receive, or one packet read and sent, of FFmpeg's demuxer and decoder.
    void stepFfmpeg()
    {
        int rc = avcodec_receive_frame(codec.get(), frame.get());
        if (rc == 0) {
            consume(frame.get());
            av_frame_unref(frame.get());
            return;
        }
        if (rc == AVERROR_EOF) {
            partDone = true;
            return;
        }
        if (rc != AVERROR(EAGAIN)) {
            // A frame the decoder could not rebuild: skip it, as players do
            // (a decoder that only fails has nothing more to give).
            rejected(0);
            if (++receiveErrors > kMaxReceiveErrors)
                partDone = true;
            if (!demuxEnd)
                return;
        }
        receiveErrors = 0;
        if (demuxEnd) {
            // The drain was requested and the decoder has nothing more.
            partDone = true;
            return;
        }
        rc = av_read_frame(src.format.get(), packet.get());
        if (rc < 0) {
            if (rc != AVERROR_EOF && readErrorPassable())
                return;
            if (rc != AVERROR_EOF) {
                // Damage the demuxer cannot pass: the rest is lost, and said so.
                const int64_t left = pf().exactLength ? partEnd() - nextPos : 0;
                addLoss(nextPos, std::max<int64_t>(left, 0), false);
            }
            // Drain what is decoded.
            demuxEnd = true;
            avcodec_send_packet(codec.get(), nullptr);
            return;
        }
        if (packet->stream_index == src.streamIndex) {
            const int64_t duration = packet->duration > 0 ? av_rescale_q(packet->duration, src.stream()->time_base, AVRational{1, rate()}) : 0;
            rc = avcodec_send_packet(codec.get(), packet.get());
            if (rc < 0 && rc != AVERROR(EAGAIN))
                rejected(duration);
            else
                badPackets = 0;
        }
        av_packet_unref(packet.get());
    }

    // Decodes until at least one more frame is converted or the end is reached.
    void decodeStep()
    {
        const size_t startSize = pending.size();
        while (!finished && pending.size() == startSize) {
            if (partDone) {
                // Silence owed at the end of a part stands for nothing that follows.
                owedSilence = 0;
                held.clear();
                endPart();
            } else if (owedSilence > 0 && !held.empty()) {
                // Only audio that follows a loss needs it kept in time: a
                // loss at the very end is not filled.
                payOwedSilence();
            } else if (!held.empty()) {
                const std::pair<FramePtr, int> next = std::move(held.front());
                held.erase(held.begin());
                output(next.first.get(), next.second);
            } else if (walker)
                stepMpeg();
            else
                stepFfmpeg();
        }
    }

    void seekMpeg(int64_t target)
    {
        const SourceFacts &p = pf();
        const MpegPart &mp = facts.mpeg.parts[size_t(p.mpegPart)];
        const int64_t spf = mp.stream.samplesPerFrame;
        const int64_t local = target - partStart[part] + p.frontSkip;
        const int64_t at = walker->seekFrame(std::max<int64_t>(0, local / spf - p.seekPreroll / spf));
        avcodec_flush_buffers(codec.get());
        resetOutput(target);
        nextPos = partStart[part] - p.frontSkip + at * spf;
        placed = true;
        fromStart = at == 0;
    }

    // Moves within the current part; the output restarts at target.
    void seekInPart(int64_t target)
    {
        const SourceFacts &p = pf();
        if (p.unreadable || !codec || timelineCut[part]) {
            restartPart(target);
            return;
        }
        if (walker) {
            if (p.seek == SeekMethod::Frames)
                seekMpeg(target);
            else
                restartPart(target);
            return;
        }
        const int64_t from = target - p.seekPreroll;
        if (p.seek == SeekMethod::Restart || origin == AV_NOPTS_VALUE || from <= partStart[part]) {
            restartPart(target);
            return;
        }
        const AVStream *st = src.stream();
        const int64_t ts = av_rescale_q_rnd(from + origin, AVRational{1, rate()}, st->time_base,
                                            AVRounding(AV_ROUND_DOWN | AV_ROUND_PASS_MINMAX));
        if (av_seek_frame(src.format.get(), src.streamIndex, ts, AVSEEK_FLAG_BACKWARD) < 0) {
            restartPart(target);
            return;
        }
        avcodec_flush_buffers(codec.get());
        resetOutput(target);
        placed = false;
        fromStart = false;
        while (!finished && !partDone && !placed)
            stepFfmpeg();
        // The container landed after the target (or nowhere): do it the sure way.
        if (!placed || placedAt > target)
            restartPart(target);
    }

    void compact()
    {
        if (head == pending.size()) {
            pending.clear();
            head = 0;
        } else if (head > (size_t(1) << 16) && head * 2 > pending.size()) {
            pending.erase(pending.begin(), pending.begin() + head);
            head = 0;
        }
    }

    void skipPending(int64_t frames)
    {
        head += size_t(frames) * ch();
        pos += frames;
        compact();
    }

    QString damageText() const { return ReadLossText(losses, rate()); }
};

Decoder::Decoder(const QString &path)
    : d(std::make_unique<Impl>())
{
    if (!d->packet || !d->frame)
        throw AudioError(QStringLiteral("Cannot open %1: out of memory").arg(displayName(path)));
    d->path = path;
    OpenedContainer first = openSource(path);
    d->facts = describeSource(path, first);
    d->partStart.assign(d->partCount(), 0);
    d->timelineCut.assign(d->partCount(), 0);
    for (size_t i = 1; i < d->partCount(); ++i)
        d->partStart[i] = d->partStart[i - 1] + d->partLength(i - 1);
    d->resetOutput(0);
    d->openPart(0, d->facts.parts.empty() ? std::move(first) : OpenedContainer{});
    // Decode the first frame now: a file that holds no decodable audio fails
    // here, where the caller expects failures, rather than on the first read.
    while (!d->finished && d->pendingFrames() == 0)
        d->decodeStep();
    if (d->pendingFrames() == 0 && (d->badPackets > 0 || !d->losses.empty()))
        throw AudioError(QStringLiteral("Cannot decode %1: the audio data is damaged or not what the file claims").arg(displayName(path)));
}

Decoder::~Decoder() = default;

int Decoder::sampleRate() const { return d->rate(); }
int Decoder::channels() const { return d->ch(); }
int64_t Decoder::length() const { return d->facts.length; }

PcmArray Decoder::read(int64_t frames)
{
    if (frames <= 0)
        return {};
    while (!d->finished && d->pendingFrames() < frames)
        d->decodeStep();
    const int64_t take = std::min(frames, d->pendingFrames());
    if (take <= 0)
        return {};
    const auto first = d->pending.begin() + d->head;
    PcmArray out(first, first + take * d->ch());
    d->skipPending(take);
    return out;
}

int64_t Decoder::seek(int64_t frame)
{
    Impl &s = *d;
    const int64_t target = std::clamp<int64_t>(frame, 0, std::max<int64_t>(s.facts.length, 0));
    if (target >= s.pos && target - s.pos <= s.pendingFrames()) {
        s.skipPending(target - s.pos);
        return target;
    }
    const size_t p = s.partAt(target);
    if (p == s.part && !s.finished) {
        // A short way forward is cheapest by decoding through it.
        const bool forward = target > s.pos && s.placed;
        const bool near = forward && target - s.pos < std::max<int64_t>(s.rate(), 2 * s.pf().seekPreroll);
        if (forward && (near || s.pf().seek == SeekMethod::Restart)) {
            s.pending.clear();
            s.head = 0;
            s.pos = target;
            s.dropBefore = target;
            return target;
        }
    }
    if (p != s.part || s.finished) {
        s.resetOutput(target);
        s.openPart(p);
        // A part's first timestamp ties its timeline to positions; once
        // known, a far target is reached by the container's seek.
        while (!s.finished && !s.partDone && !s.walker && s.origin == AV_NOPTS_VALUE && s.codec)
            s.stepFfmpeg();
        // Near the part's start, or where timestamps cannot be trusted,
        // decoding on from here is the seek.
        if (s.part != p || s.finished || s.pendingFrames() > 0 || (s.placed && s.nextPos >= target) ||
            (!s.walker && (target - s.pf().seekPreroll <= s.partStart[p] || s.pf().seek == SeekMethod::Restart)))
            return target;
    }
    s.seekInPart(target);
    return target;
}

bool Decoder::seeksExactly() const
{
    const auto exact = [](const SourceFacts &f) { return f.seek != SeekMethod::Restart && f.seekReproducesReading; };
    if (d->facts.parts.empty())
        return exact(d->facts);
    // The parts of joined files are described by their frames alone; whether
    // the codec's decode after a jump matches a reading through (not so for
    // layer II) is known of the file as a whole.
    return d->facts.seekReproducesReading && std::all_of(d->facts.parts.begin(), d->facts.parts.end(),
                       [&](const SourceFacts &p) { return !p.unreadable && exact(p); });
}

QString Decoder::damage() const { return d->damageText(); }
const std::vector<ReadLoss> &Decoder::losses() const { return d->losses; }
bool Decoder::lengthIsExact() const { return d->facts.exactLength; }

} // namespace audio_detail

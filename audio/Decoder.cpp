#include "audio/DecoderImpl.h"
#include "audio/AudioError.h"

#include <algorithm>

namespace audio_detail {
namespace {

constexpr int kMaxReceiveErrors = 1000;

} // namespace

size_t Decoder::Impl::partAt(int64_t target) const
{
    size_t p = 0;
    while (p + 1 < partCount() && target >= partStart[p + 1])
        ++p;
    return p;
}

// FFmpeg's frame threads pass buffers between them through atomics inside
// the library, which ThreadSanitizer cannot see there; a build that checks
// our own threads decodes on the calling thread only.
#if defined(__SANITIZE_THREAD__)
constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
constexpr bool kThreadSanitizer = true;
#else
constexpr bool kThreadSanitizer = false;
#endif
#else
constexpr bool kThreadSanitizer = false;
#endif

void Decoder::Impl::openCodecFor(const AVCodec *dec, const AVCodecParameters *par)
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
        if (threads > 1 && !kThreadSanitizer) {
            // Frame threads hand frames back in order, only later: the
            // timeline and damage records see the same stream.
            codec->thread_count = threads;
            codec->thread_type = FF_THREAD_FRAME;
        }
        rc = avcodec_open2(codec.get(), dec, nullptr);
    }
    if (rc < 0)
        throw AudioError(QStringLiteral("Cannot decode %1: %2").arg(displayName(path), ffErrorText(rc)));
}

void Decoder::Impl::openCodec()
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

void Decoder::Impl::resetOutput(int64_t target)
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
void Decoder::Impl::openPart(size_t i, OpenedContainer opened)
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
void Decoder::Impl::restartPart(int64_t target)
{
    resetOutput(target);
    openPart(part);
}

// The current part has given all it has: on to the next, or the end.
void Decoder::Impl::endPart()
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

// A read error of the container: go on while it makes progress (the
// demuxer resynchronises), else the rest of the part is lost.
bool Decoder::Impl::readErrorPassable()
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
void Decoder::Impl::stepFfmpeg()
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
void Decoder::Impl::decodeStep()
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

// Moves within the current part; the output restarts at target.
void Decoder::Impl::seekInPart(int64_t target)
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

void Decoder::Impl::compact()
{
    if (head == pending.size()) {
        pending.clear();
        head = 0;
    } else if (head > (size_t(1) << 16) && head * 2 > pending.size()) {
        pending.erase(pending.begin(), pending.begin() + head);
        head = 0;
    }
}

void Decoder::Impl::skipPending(int64_t frames)
{
    head += size_t(frames) * ch();
    pos += frames;
    compact();
}

Decoder::Decoder(const QString &path, int threads)
    : d(std::make_unique<Impl>())
{
    if (!d->packet || !d->frame)
        throw AudioError(QStringLiteral("Cannot open %1: out of memory").arg(displayName(path)));
    d->path = path;
    d->threads = threads;
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

int Decoder::bitsPerSample() const
{
    const AVCodecContext *c = d->codec.get();
    if (!c)
        return 16;
    const AVCodecDescriptor *desc = avcodec_descriptor_get(c->codec_id);
    if (!desc || !(desc->props & AV_CODEC_PROP_LOSSLESS))
        return 16;
    int bits = c->bits_per_raw_sample;
    if (bits <= 0)
        bits = av_get_bits_per_sample(c->codec_id);
    if (bits <= 0)
        bits = av_get_bytes_per_sample(c->sample_fmt) * 8;
    return bits <= 16 ? 16 : bits <= 24 ? 24 : 32;
}

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

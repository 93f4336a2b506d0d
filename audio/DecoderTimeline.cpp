#include "audio/DecoderImpl.h"
#include "audio/AudioError.h"

#include <algorithm>

namespace audio_detail {
namespace {

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

void Decoder::Impl::addLoss(int64_t at, int64_t frames, bool estimate, int64_t leftOut)
{
    at = std::max<int64_t>(at, 0);
    // Preroll before a seek target, or damage met again after seeking back.
    if ((frames > 0 && at + frames <= dropBefore) || (frames == 0 && at < dropBefore))
        return;
    AddReadLoss(losses, {at, frames, estimate, leftOut}, rate());
}

void Decoder::Impl::reportRejected()
{
    if (rejectedAt >= 0)
        addLoss(rejectedAt, rejectedFrames, true);
    rejectedAt = -1;
    rejectedFrames = 0;
}

// A packet or frame the decoder refused: skipped, as ffmpeg does; how long
// it was is known only from the container's word.
void Decoder::Impl::rejected(int64_t frames)
{
    ++badPackets;
    if (rejectedAt < 0)
        rejectedAt = nextPos;
    rejectedFrames += std::max<int64_t>(frames, 0);
}

float *Decoder::Impl::appendSpace(int64_t frames)
{
    const size_t before = pending.size();
    pending.resize(before + size_t(frames) * ch());
    return pending.data() + before;
}

// Drops the just appended frames [before..] that lie outside [dropBefore, part end).
void Decoder::Impl::place(size_t before)
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
int64_t Decoder::Impl::owe(int64_t frames)
{
    const int64_t fill = std::clamp<int64_t>(kMaxGapSeconds * rate() - owedSilence, 0, frames);
    owedSilence += fill;
    if (fill < frames)
        timelineCut[part] = 1;
    return frames - fill;
}

// One block of the owed silence; place() stops it at an exact end.
void Decoder::Impl::payOwedSilence()
{
    drainSwr();
    const int64_t n = std::min(owedSilence, kSilenceBlock);
    owedSilence -= n;
    const size_t before = pending.size();
    std::fill_n(appendSpace(n), size_t(n) * ch(), 0.0f);
    place(before);
}

void Decoder::Impl::drainSwr()
{
    swr.drain(ch(), pending, [this](size_t before) { place(before); });
}

void Decoder::Impl::convertWithSwr(const AVFrame *f, int inRate)
{
    swr.convert(f, inRate, rate(), ch(), pending, [this](size_t before) { place(before); }, path);
}

// Damaged bytes of a float PCM file become absurd samples; the stretch
// from the first to the last of them in this frame becomes silence.
void Decoder::Impl::silenceFloatGarbage(size_t before)
{
    size_t from = 0, to = 0;
    if (!findFloatGarbage(pending.data() + before, pending.size() - before, size_t(ch()), from, to))
        return;
    std::fill(pending.begin() + before + from, pending.begin() + before + to, 0.0f);
    const size_t c = size_t(ch());
    addLoss(nextPos + int64_t(from / c), int64_t((to - from) / c), false);
}

void Decoder::Impl::consume(const AVFrame *f)
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
void Decoder::Impl::output(const AVFrame *f, int inRate)
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

} // namespace audio_detail

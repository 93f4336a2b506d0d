// Chapters as FFmpeg's demuxers find them: ID3v2 CHAP frames, Vorbis
// CHAPTERnnn comments, Matroska and MP4 chapter lists alike.
#include "audio/Chapters.h"

#include "audio/ReadSource.h"

#include <algorithm>

using namespace audio_detail;

ChapterList ReadChapters(const QString &path)
{
    const OpenedContainer src = openSource(path);
    const AVFormatContext *fc = src.format.get();
    const int rate = src.stream()->codecpar->sample_rate;
    ChapterList chapters;
    for (unsigned i = 0; i < fc->nb_chapters; ++i) {
        const AVChapter *c = fc->chapters[i];
        ChapterMark mark;
        mark.sampleRate = rate;
        mark.startFrame = std::max<int64_t>(0, av_rescale_q_rnd(c->start, c->time_base, AVRational{1, std::max(rate, 1)},
                                                                 AVRounding(AV_ROUND_NEAR_INF | AV_ROUND_PASS_MINMAX)));
        if (const AVDictionaryEntry *title = av_dict_get(c->metadata, "title", nullptr, 0))
            mark.title = QString::fromUtf8(title->value);
        chapters.push_back(mark);
    }
    // Demuxers list them as the file does, which need not be in time order.
    std::stable_sort(chapters.begin(), chapters.end(),
                     [](const ChapterMark &a, const ChapterMark &b) { return a.startFrame < b.startFrame; });
    return chapters;
}

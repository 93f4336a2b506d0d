#include "audio/FfmpegUtil.h"

extern "C" {
#include <libavutil/error.h>
#include <libavutil/log.h>
}

namespace audio_detail {

// FFmpeg's own log lines would only repeat, on the console of the command-line
// program, what our errors already say with the file's name.
[[maybe_unused]] static const int ffmpegLogQuieted = (av_log_set_level(AV_LOG_QUIET), 0);

void freeCustomInput(AVIOContext *pb)
{
    if (!pb)
        return;
    delete static_cast<CustomInput *>(pb->opaque);
    av_freep(&pb->buffer);
    avio_context_free(&pb);
}

QString ffErrorText(int code)
{
    char words[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, words, sizeof words) < 0)
        qsnprintf(words, sizeof words, "error %d", code);
    return QString::fromUtf8(words);
}

int setUnityRemix(SwrContext *swr, int inChannels, int outChannels)
{
    if (inChannels == 1 && outChannels == 2) {
        const double up[2] = {1.0, 1.0};
        return swr_set_matrix(swr, up, 1);
    }
    if (inChannels == 2 && outChannels == 1) {
        const double down[2] = {0.5, 0.5};
        return swr_set_matrix(swr, down, 2);
    }
    return 0;
}

} // namespace audio_detail

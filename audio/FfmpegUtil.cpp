#include "audio/FfmpegUtil.h"

extern "C" {
#include <libavutil/error.h>
}

namespace audio_detail {

QString ffErrorText(const char *function, int code)
{
    char words[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(code, words, sizeof words) < 0)
        qsnprintf(words, sizeof words, "error %d", code);
    return QString::fromLatin1(function) + QStringLiteral(": ") + QString::fromUtf8(words);
}

} // namespace audio_detail

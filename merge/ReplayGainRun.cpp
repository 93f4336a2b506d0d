#include "merge/ReplayGainRun.h"

#include "audio/Loudness.h"
#include "audio/ReplayGainTags.h"

#include <QFileInfo>
#include <QHash>
#include <exception>

QString AlbumKeyOf(const QString &source, const QString &albumTag)
{
    const QString album = albumTag.trimmed();
    if (!album.isEmpty())
        return QStringLiteral("album:") + album;
    return QStringLiteral("folder:") + QFileInfo(source).absolutePath();
}

QStringList WriteReplayGainTags(const std::vector<MeasuredOutput> &outputs, bool albums)
{
    QHash<QString, LoudnessResult> albumResults;
    if (albums) {
        QHash<QString, std::vector<const LoudnessMeter *>> members;
        for (const MeasuredOutput &o : outputs)
            if (o.loudness)
                members[o.albumKey].push_back(o.loudness.get());
        for (auto it = members.cbegin(); it != members.cend(); ++it)
            albumResults.insert(it.key(), LoudnessMeter::Combined(it.value()));
    }
    QStringList warnings;
    for (const MeasuredOutput &o : outputs) {
        if (!o.loudness)
            continue;
        const LoudnessResult track = o.loudness->Result();
        ReplayGainValues values;
        values.trackIntegrated = track.integrated;
        values.trackPeak = track.truePeak;
        if (albums) {
            const LoudnessResult album = albumResults.value(o.albumKey);
            values.hasAlbum = true;
            values.albumIntegrated = album.integrated;
            values.albumPeak = album.truePeak;
        }
        try {
            WriteReplayGain(o.written, values);
        } catch (const std::exception &e) {
            warnings << QStringLiteral("Warning: ") + QString::fromStdString(e.what());
        }
    }
    return warnings;
}

QString NoReplayGainNote(const QString &formatName)
{
    return QStringLiteral("Note: %1 files have no place for ReplayGain tags; none were written.").arg(formatName);
}

#pragma once
#include "tests/common/AudioFixtures.h"

#include <QDir>
#include <QFile>
#include <QJsonObject>
#include <QString>
#include <gtest/gtest.h>

#include <taglib/flacpicture.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

namespace tagtest {

// The tag every source of these tests carries, as ffprobe names its fields.
inline const std::pair<const char *, const char *> kSourceTags[] = {
    {"title", "Night Drive"},   {"artist", "Néon"},   {"album", "Roads"},    {"album_artist", "Various"},
    {"composer", "Someone Else"}, {"genre", "Synthwave"}, {"track", "3/12"}, {"disc", "1/2"},
    {"date", "2019"},           {"comment", "Nice one"}, {"lyrics", "La la la"},
};

inline QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A 16x16 PNG made by ffmpeg.
inline QString MakeCover(const QString &dir)
{
    const QString path = QDir(dir).filePath("cover.png");
    EXPECT_EQ(fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "color=c=red:s=16x16",
                                       "-frames:v", "1", path}),
              0);
    return path;
}

// A one-second source of the given extension with kSourceTags (as far as its
// container holds them) and `cover` as its front cover: ffmpeg embeds it in
// MP3, FLAC and M4A; for Ogg Vorbis (whose muxer cannot) TagLib adds it as
// METADATA_BLOCK_PICTURE; a WAV from ffmpeg has none. Empty when it could not be made.
inline QString MakeTaggedSource(const QString &dir, const QString &extension, const QString &cover,
                                const QStringList &extraArgs = {})
{
    const QString path = QDir(dir).filePath("source." + extension);
    QStringList args{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=1:sample_rate=44100"};
    const bool embeds = extension == "mp3" || extension == "flac" || extension == "m4a";
    if (embeds)
        args << "-i" << cover << "-map" << "0:a" << "-map" << "1" << "-c:v" << "png" << "-disposition:v" << "attached_pic";
    args << "-ac" << "2";
    const QString codec = extension == "mp3"    ? "libmp3lame"
                          : extension == "flac" ? "flac"
                          : extension == "m4a"  ? "aac"
                          : extension == "wav"  ? "pcm_s16le"
                                                : "libvorbis";
    args << "-c:a" << codec;
    for (const auto &[key, value] : kSourceTags)
        args << "-metadata" << QString("%1=%2").arg(key, QString::fromUtf8(value));
    args << extraArgs << path;
    if (fixtures::Run("ffmpeg", args) != 0) {
        ADD_FAILURE() << "ffmpeg could not make " << path.toStdString();
        return {};
    }
    if (extension == "ogg") {
        const QByteArray encoded = QFile::encodeName(path);
        TagLib::Ogg::Vorbis::File f(encoded.constData(), false);
        auto *picture = new TagLib::FLAC::Picture;
        picture->setType(TagLib::FLAC::Picture::FrontCover);
        picture->setMimeType("image/png");
        const QByteArray png = ReadAll(cover);
        picture->setData(TagLib::ByteVector(png.constData(), unsigned(png.size())));
        f.tag()->addPicture(picture);
        if (!f.save()) {
            ADD_FAILURE() << "TagLib could not add the picture to " << path.toStdString();
            return {};
        }
    }
    return path;
}

// The first picture FFmpeg shows as an attached picture stream, its bytes as stored.
inline QByteArray AttachedPicture(const QString &path)
{
    QByteArray out;
    fixtures::Run("ffmpeg", {"-nostdin", "-v", "error", "-i", path, "-map", "0:v:0?", "-c", "copy", "-f", "data", "-"}, &out);
    return out;
}

// FFmpeg names lyrics by container ("lyrics", "lyrics-eng", "wm/lyrics").
inline QString Lyrics(const QJsonObject &tags)
{
    for (auto it = tags.begin(); it != tags.end(); ++it)
        if (it.key().contains("lyrics"))
            return it.value().toString();
    return {};
}

} // namespace tagtest

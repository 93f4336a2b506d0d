#include "audio/TAudioInformation2.h"
#include "audio/FileTags.h"
#include "audio/ReadSource.h"

#include <QFileInfo>

#include <taglib/id3v1genres.h>

using namespace audio_detail;

void TAudioInformation2::LoadFile(const QString &fileName)
{
    // Everything is gathered first, so a failure leaves the previous file's facts.
    const audio_detail::OpenedContainer src = audio_detail::openSource(fileName);
    const audio_detail::SourceFacts facts = audio_detail::describeSource(fileName, src);
    ReadTag tags = readTags(fileName);

    totalSamples_ = facts.length;
    sampleRate_ = facts.sampleRate;
    channels_ = facts.channels;
    durationMs_ = sampleRate_ > 0 ? totalSamples_ * 1000 / sampleRate_ : 0;
    fileSize_ = QFileInfo(fileName).size();
    formatText_ = facts.formatText;
    title_ = tags.fields.title;
    artist_ = tags.fields.artist;
    album_ = tags.fields.album;
    comments_ = tags.fields.comments;
    year_ = tags.fields.year;
    genre_ = tags.fields.genre;
    genreSet_ = false;
    track_.clear();
    overrides_.clear();
    loaded_ = {title_, artist_, album_, comments_, year_};
    properties_ = std::move(tags.properties);
    pictures_ = std::move(tags.pictures);
    mpegLayer_ = facts.mpeg.valid ? facts.mpeg.layer : 0;
}

QMap<QString, QStringList> TAudioInformation2::edits() const
{
    QMap<QString, QStringList> e;
    const auto text = [&e](const char *key, const QString &now, const QString &loaded) {
        if (now != loaded)
            e.insert(QString::fromLatin1(key), now.isEmpty() ? QStringList() : QStringList{now});
    };
    text("TITLE", title_, loaded_.title);
    text("ARTIST", artist_, loaded_.artist);
    text("ALBUM", album_, loaded_.album);
    text("COMMENT", comments_, loaded_.comments);
    if (year_ != loaded_.year)
        e.insert(QStringLiteral("DATE"), year_ > 0 ? QStringList{QString::number(year_)} : QStringList());
    if (genreSet_) {
        const QString name = GenreName(genre_);
        e.insert(QStringLiteral("GENRE"), name.isEmpty() ? QStringList() : QStringList{name});
    }
    if (!track_.isEmpty())
        e.insert(QStringLiteral("TRACKNUMBER"), {track_});
    for (auto it = overrides_.cbegin(); it != overrides_.cend(); ++it) {
        if (!it.value().isEmpty())
            e.insert(it.key(), {it.value()});
    }
    return e;
}

void TAudioInformation2::ClearTag()
{
    title_.clear();
    artist_.clear();
    album_.clear();
    comments_.clear();
    year_ = 0;
    genre_ = 255;
    genreSet_ = false;
    track_.clear();
    overrides_.clear();
    loaded_ = {};
    properties_.clear();
    pictures_.clear();
}

QString TAudioInformation2::GenreName(int genre) const
{
    if (genre < 0 || genre >= 255)
        return {};
    return fromTag(TagLib::ID3v1::genre(genre));
}


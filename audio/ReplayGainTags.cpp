#include "audio/ReplayGainTags.h"

#include "audio/AudioError.h"
#include "audio/Loudness.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <utility>
#include <vector>

#include <taglib/flacfile.h>
#include <taglib/id3v2tag.h>
#include <taglib/mp4file.h>
#include <taglib/mpegfile.h>
#include <taglib/opusfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/vorbisfile.h>
#include <taglib/xiphcomment.h>

namespace {

enum class Form { None, Xiph, Opus, Id3v2, Mp4 };

Form FormOf(const QString &path)
{
    const QString ext = QFileInfo(path).suffix().toLower();
    if (ext == QLatin1String("flac") || ext == QLatin1String("ogg") || ext == QLatin1String("oga"))
        return Form::Xiph;
    if (ext == QLatin1String("opus"))
        return Form::Opus;
    if (ext == QLatin1String("mp3"))
        return Form::Id3v2;
    if (ext == QLatin1String("m4a") || ext == QLatin1String("m4b") || ext == QLatin1String("mp4"))
        return Form::Mp4;
    return Form::None;
}

using Fields = std::vector<std::pair<std::string, QString>>;

// The REPLAYGAIN_* names and texts, upper case as Vorbis comments write them.
Fields ReplayGainFields(const ReplayGainValues &v)
{
    Fields f{{"REPLAYGAIN_TRACK_GAIN", ReplayGainText(GainToTarget(v.trackIntegrated, kReplayGainReference))},
             {"REPLAYGAIN_TRACK_PEAK", ReplayGainPeakText(v.trackPeak)}};
    if (v.hasAlbum) {
        f.push_back({"REPLAYGAIN_ALBUM_GAIN", ReplayGainText(GainToTarget(v.albumIntegrated, kReplayGainReference))});
        f.push_back({"REPLAYGAIN_ALBUM_PEAK", ReplayGainPeakText(v.albumPeak)});
    }
    return f;
}

const char *const kAllReplayGain[] = {"REPLAYGAIN_TRACK_GAIN", "REPLAYGAIN_TRACK_PEAK", "REPLAYGAIN_ALBUM_GAIN",
                                      "REPLAYGAIN_ALBUM_PEAK", "REPLAYGAIN_REFERENCE_LOUDNESS"};

TagLib::String Text(const QString &s) { return TagLib::String(s.toStdString(), TagLib::String::UTF8); }

void SetXiph(TagLib::Ogg::XiphComment &c, const Fields &fields)
{
    for (const auto &[key, value] : fields)
        c.addField(key, Text(value), true);
}

bool SaveOpus(TagLib::Ogg::Opus::File &file, const ReplayGainValues &v)
{
    TagLib::Ogg::XiphComment *c = file.tag();
    if (!c)
        return false;
    // Opus players apply R128 gains, and a REPLAYGAIN_* beside them (copied
    // from a source) would be applied on top by some.
    for (const char *key : kAllReplayGain)
        c->removeFields(key);
    c->addField("R128_TRACK_GAIN", TagLib::String::number(OpusR128Gain(v.trackIntegrated)), true);
    if (v.hasAlbum)
        c->addField("R128_ALBUM_GAIN", TagLib::String::number(OpusR128Gain(v.albumIntegrated)), true);
    else
        c->removeFields("R128_ALBUM_GAIN");
    return file.save();
}

bool SaveMp3(TagLib::MPEG::File &file, const Fields &fields)
{
    TagLib::ID3v2::Tag *tag = file.ID3v2Tag(true);
    for (const auto &[key, value] : fields) {
        const TagLib::String description(key);
        while (TagLib::ID3v2::UserTextIdentificationFrame *old =
                   TagLib::ID3v2::UserTextIdentificationFrame::find(tag, description))
            tag->removeFrame(old);
        auto *frame = new TagLib::ID3v2::UserTextIdentificationFrame(TagLib::String::UTF8);
        frame->setDescription(description);
        frame->setText(Text(value));
        tag->addFrame(frame);
    }
    // As every output's tag: ID3v2.3 alone, which keeps gapless decoding intact.
    return file.save(TagLib::MPEG::File::ID3v2, TagLib::File::StripOthers, TagLib::ID3v2::v3,
                     TagLib::File::DoNotDuplicate);
}

bool SaveMp4(TagLib::MP4::File &file, const Fields &fields)
{
    TagLib::MP4::Tag *tag = file.tag();
    if (!tag)
        return false;
    for (const auto &[key, value] : fields) {
        // The iTunes freeform names are lower case by custom (foobar2000, rsgain).
        const TagLib::String name = "----:com.apple.iTunes:" + TagLib::String(QString::fromStdString(key).toLower().toStdString());
        tag->setItem(name, TagLib::MP4::Item(TagLib::StringList(Text(value))));
    }
    return file.save();
}

} // namespace

bool CarriesReplayGain(const QString &path) { return FormOf(path) != Form::None; }

void WriteReplayGain(const QString &path, const ReplayGainValues &values)
{
    const QString name = QDir::toNativeSeparators(path);
    const QByteArray encoded = QFile::encodeName(path);
    const char *file = encoded.constData();
    const Fields fields = ReplayGainFields(values);
    const auto fail = [&](const QString &why) {
        return AudioError(QStringLiteral("Cannot write the ReplayGain tags of %1: %2").arg(name, why));
    };
    bool saved = false;
    const QString ext = QFileInfo(path).suffix().toLower();
    switch (FormOf(path)) {
    case Form::None:
        throw fail(QStringLiteral("its format has no place for them"));
    case Form::Xiph:
        if (ext == QLatin1String("flac")) {
            TagLib::FLAC::File f(file, false);
            if (!f.isValid())
                throw fail(QStringLiteral("not a FLAC file"));
            SetXiph(*f.xiphComment(true), fields);
            saved = f.save();
        } else {
            TagLib::Ogg::Vorbis::File f(file, false);
            if (!f.isValid() || !f.tag())
                throw fail(QStringLiteral("not an Ogg Vorbis file"));
            SetXiph(*f.tag(), fields);
            saved = f.save();
        }
        break;
    case Form::Opus: {
        TagLib::Ogg::Opus::File f(file, false);
        if (!f.isValid())
            throw fail(QStringLiteral("not an Opus file"));
        saved = SaveOpus(f, values);
        break;
    }
    case Form::Id3v2: {
        TagLib::MPEG::File f(file, false);
        if (!f.isValid())
            throw fail(QStringLiteral("not an MP3 file"));
        saved = SaveMp3(f, fields);
        break;
    }
    case Form::Mp4: {
        TagLib::MP4::File f(file, false);
        if (!f.isValid())
            throw fail(QStringLiteral("not an MP4 file"));
        saved = SaveMp4(f, fields);
        break;
    }
    }
    if (!saved)
        throw fail(QStringLiteral("the tag library could not save the file"));
}

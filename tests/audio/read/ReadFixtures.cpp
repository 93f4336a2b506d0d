#include "tests/audio/read/ReadFixtures.h"
#include "tests/common/AudioFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <taglib/apefile.h>
#include <taglib/apetag.h>
#include <taglib/mp4file.h>

#include <map>
#include <random>

namespace readfix {
namespace {

constexpr double kSeconds = 2.7; // 119 070 frames at 44.1 kHz: no codec's frame multiple

QTemporaryDir &dir()
{
    static QTemporaryDir d;
    return d;
}

int64_t framesAt(int rate) { return int64_t(kSeconds * rate + 0.5); }

QString makeBaseWav(int rate, int channels)
{
    const QString p = TempPath(QStringLiteral("base_%1_%2.wav").arg(rate).arg(channels));
    if (!QFileInfo::exists(p))
        fixtures::MakeTone(p, kSeconds, rate, channels, {"-c:a", "pcm_s16le"});
    return p;
}

void sox(const QString &in, const QStringList &outArgs, const QString &out)
{
    ASSERT_TRUE(fixtures::HaveTool("sox"));
    QStringList args{in};
    args << outArgs << out;
    ASSERT_EQ(fixtures::Run("sox", args), 0);
}

Fixture make(Case c)
{
    Fixture f;
    const QString name = QString::fromLatin1(Name(c));
    const auto ffmpegFile = [&](const QString &ext, int rate, int channels, const QStringList &args) {
        f.path = TempPath(name + "." + ext);
        f.rate = rate;
        f.channels = channels;
        fixtures::MakeTone(f.path, kSeconds, rate, channels, args);
        f.trueLength = framesAt(rate);
    };
    switch (c) {
    case Case::Mp3CbrTagged:
        ffmpegFile("mp3", 44100, 2, {"-c:a", "libmp3lame", "-b:a", "128k"});
        f.formatPrefix = "MPEG 1.0 layer-3: 44100 Hz, 128 kbps, Joint Stereo";
        break;
    case Case::Mp3VbrTagged:
        ffmpegFile("mp3", 44100, 2, {"-c:a", "libmp3lame", "-q:a", "4"});
        f.formatPrefix = "MPEG 1.0 layer-3: 44100 Hz, ";
        break;
    case Case::Mp3Untagged:
        // No info tag: the decoder's delay and the padding stay in the audio.
        ffmpegFile("mp3", 44100, 2, {"-c:a", "libmp3lame", "-b:a", "96k", "-write_xing", "0"});
        f.trueLength = fixtures::DecodedFrames(f.path);
        f.tolerance = 1152;
        f.formatPrefix = "MPEG 1.0 layer-3: 44100 Hz, 96 kbps";
        break;
    case Case::Mp3Mpeg2Mono:
        ffmpegFile("mp3", 22050, 1, {"-c:a", "libmp3lame", "-b:a", "64k"});
        f.formatPrefix = "MPEG 2.0 layer-3: 22050 Hz, 64 kbps, Mono";
        break;
    case Case::Mp2:
        ffmpegFile("mp2", 44100, 2, {"-c:a", "mp2", "-b:a", "192k"});
        f.trueLength = fixtures::DecodedFrames(f.path);
        f.tolerance = 1152;
        f.formatPrefix = "MPEG 1.0 layer-2: 44100 Hz, 192 kbps";
        break;
    case Case::Wma:
        ffmpegFile("wma", 44100, 2, {"-c:a", "wmav2", "-b:a", "128k"});
        f.trueLength = fixtures::DecodedFrames(f.path);
        f.tolerance = 2048;
        f.formatPrefix = "WMA v2: 44100 Hz, 128 kbps, Stereo";
        break;
    case Case::Ogg:
        ffmpegFile("ogg", 44100, 2, {"-c:a", "libvorbis", "-q:a", "4"});
        f.formatPrefix = "Ogg Vorbis: 44100 Hz, ";
        break;
    case Case::Musepack: {
        EXPECT_TRUE(fixtures::HaveTool("mpcenc"));
        f.path = TempPath(name + ".mpc");
        f.trueLength = framesAt(44100);
        EXPECT_EQ(fixtures::Run("mpcenc", {"--silent", "--overwrite", makeBaseWav(44100, 2), f.path}), 0);
        f.ffmpegLead = 481; // FFmpeg does not trim the SV8 decoder delay
        f.formatPrefix = "Musepack SV8: 44100 Hz, ";
        break;
    }
    case Case::Wav8:
    case Case::Wav24:
    case Case::Wav32:
    case Case::WavFloat: {
        f.path = TempPath(name + ".wav");
        f.trueLength = framesAt(44100);
        const QStringList fmt = c == Case::Wav8    ? QStringList{"-b", "8"}
                                : c == Case::Wav24 ? QStringList{"-b", "24"}
                                : c == Case::Wav32 ? QStringList{"-e", "signed-integer", "-b", "32"}
                                                   : QStringList{"-e", "floating-point", "-b", "32"};
        sox(makeBaseWav(44100, 2), fmt, f.path);
        f.formatPrefix = c == Case::Wav8    ? "PCM 8 bit: 44100 Hz, Stereo"
                         : c == Case::Wav24 ? "PCM 24 bit: 44100 Hz, Stereo"
                         : c == Case::Wav32 ? "PCM 32 bit: 44100 Hz, Stereo"
                                            : "PCM 32 bit float: 44100 Hz, Stereo";
        break;
    }
    case Case::Flac:
    case Case::Opus:
    case Case::AacM4a:
    case Case::AacAdts:
    case Case::AlacM4a:
    case Case::Aiff:
    case Case::WavPack: {
        f.title = "Tone " + name;
        f.artist = "Maker";
        const QStringList tag{"-metadata", "title=" + f.title, "-metadata", "artist=" + f.artist};
        const auto is = [c](Case x) { return c == x; };
        if (is(Case::Flac)) {
            ffmpegFile("flac", 44100, 2, QStringList{"-c:a", "flac"} + tag);
            f.formatPrefix = "FLAC: 44100 Hz, 16 bit, Stereo";
        } else if (is(Case::Opus)) {
            // Opus always decodes at 48 kHz; ffmpeg resamples the tone to it.
            ffmpegFile("opus", 48000, 2, QStringList{"-c:a", "libopus", "-b:a", "128k"} + tag);
            f.formatPrefix = "Opus: 48000 Hz, ";
        } else if (is(Case::AacM4a)) {
            // No whole number of milliseconds: the muxer's edit list (in ms) cannot say it.
            ffmpegFile("m4a", 44100, 2, QStringList{"-af", "atrim=end_sample=119055", "-c:a", "aac", "-b:a", "128k"} + tag);
            f.trueLength = 119055;
            f.formatPrefix = "AAC: 44100 Hz, 128 kbps, Stereo";
        } else if (is(Case::AacAdts)) {
            // No gapless information: what decodes, priming and padding included, is the length.
            ffmpegFile("aac", 44100, 2, QStringList{"-c:a", "aac", "-b:a", "128k"} + tag);
            f.trueLength = fixtures::DecodedFrames(f.path);
            f.formatPrefix = "AAC: 44100 Hz, ";
            f.title.clear(); // the ADTS muxer writes no tag, TagLib knows none for it
            f.artist.clear();
            f.takesTags = false;
        } else if (is(Case::AlacM4a)) {
            ffmpegFile("m4a", 44100, 2, QStringList{"-af", "atrim=end_sample=119055", "-c:a", "alac"} + tag);
            f.trueLength = 119055;
            f.formatPrefix = "ALAC: 44100 Hz, 16 bit, Stereo";
        } else if (is(Case::Aiff)) {
            ffmpegFile("aiff", 44100, 2, QStringList{"-c:a", "pcm_s16be", "-write_id3v2", "1"} + tag);
            f.formatPrefix = "AIFF: 44100 Hz, 16 bit, Stereo";
        } else {
            ffmpegFile("wv", 44100, 2, QStringList{"-c:a", "wavpack"} + tag);
            f.formatPrefix = "WavPack: 44100 Hz, 16 bit, Stereo";
        }
        break;
    }
    case Case::FlacCli:
        f.path = TempPath(name + ".flac");
        f.trueLength = framesAt(44100);
        f.title = "Tone by flac";
        f.artist = "Maker";
        EXPECT_EQ(fixtures::Run("flac", {"--silent", "--force", "-T", "TITLE=" + f.title, "-T", "ARTIST=" + f.artist, "-o", f.path, makeBaseWav(44100, 2)}), 0);
        f.formatPrefix = "FLAC: 44100 Hz, 16 bit, Stereo";
        break;
    case Case::OpusEnc:
        // opusenc resamples 44.1 kHz to 48 kHz itself.
        f.path = TempPath(name + ".opus");
        f.rate = 48000;
        f.trueLength = framesAt(48000);
        f.title = "Tone by opusenc";
        f.artist = "Maker";
        EXPECT_EQ(fixtures::Run("opusenc", {"--quiet", "--bitrate", "96", "--title", f.title, "--artist", f.artist, makeBaseWav(44100, 2), f.path}), 0);
        f.formatPrefix = "Opus: 48000 Hz, ";
        break;
    case Case::AacItunes: {
        // As iTunes writes it: no edit list, the priming (1024 for ffmpeg's
        // encoder) and padding told by the iTunSMPB comment only.
        ffmpegFile("m4a", 44100, 2, {"-c:a", "aac", "-b:a", "128k", "-use_editlist", "0"});
        const int64_t all = fixtures::DecodedFrames(f.path);
        EXPECT_EQ(all % 1024, 0) << "without an edit list every frame decodes";
        const QString smpb = QStringLiteral(" 00000000 %1 %2 %3 00000000 00000000 00000000 00000000 00000000 00000000 00000000 00000000")
                                 .arg(1024, 8, 16, QLatin1Char('0'))
                                 .arg(all - 1024 - f.trueLength, 8, 16, QLatin1Char('0'))
                                 .arg(f.trueLength, 16, 16, QLatin1Char('0'))
                                 .toUpper();
        TagLib::MP4::File file(QFile::encodeName(f.path).constData());
        f.title = "Tone from iTunes";
        f.artist = "Maker";
        file.tag()->setTitle(TagLib::String(f.title.toStdString(), TagLib::String::UTF8));
        file.tag()->setArtist(TagLib::String(f.artist.toStdString(), TagLib::String::UTF8));
        file.tag()->setItem("----:com.apple.iTunes:iTunSMPB", TagLib::MP4::Item(TagLib::StringList(TagLib::String(smpb.toStdString()))));
        EXPECT_TRUE(file.save());
        f.formatPrefix = "AAC: 44100 Hz, ";
        break;
    }
    case Case::Ape: {
        // ffmpeg has no Monkey's Audio encoder; jmac (Debian's libjmac-java) has one.
        f.path = TempPath(name + ".ape");
        f.trueLength = framesAt(44100);
        if (!fixtures::HaveTool("jmac")) {
            f.unavailable = "no Monkey's Audio encoder here: jmac (Debian package libjmac-java, with a Java runtime) is not installed";
            break;
        }
        EXPECT_EQ(fixtures::Run("jmac", {"c2", makeBaseWav(44100, 2), f.path}), 0);
        // jmac writes no tag; TagLib adds the APE tag such files carry.
        f.title = "Tone by jmac";
        f.artist = "Maker";
        TagLib::APE::File file(QFile::encodeName(f.path).constData());
        file.APETag(true)->setTitle(TagLib::String(f.title.toStdString(), TagLib::String::UTF8));
        file.APETag(true)->setArtist(TagLib::String(f.artist.toStdString(), TagLib::String::UTF8));
        EXPECT_TRUE(file.save());
        f.formatPrefix = "Monkey's Audio: 44100 Hz, 16 bit, Stereo";
        break;
    }
    case Case::Wav16Mono:
        f.path = TempPath(name + ".wav");
        f.rate = 22050;
        f.channels = 1;
        f.trueLength = framesAt(22050);
        sox(makeBaseWav(22050, 1), {"-b", "16"}, f.path);
        f.formatPrefix = "PCM 16 bit: 22050 Hz, Mono";
        break;
    }
    return f;
}

} // namespace

std::vector<Case> AllCases()
{
    return {Case::Mp3CbrTagged, Case::Mp3VbrTagged, Case::Mp3Untagged, Case::Mp3Mpeg2Mono, Case::Mp2, Case::Wma, Case::Ogg,
            Case::Musepack, Case::Wav8, Case::Wav16Mono, Case::Wav24, Case::Wav32, Case::WavFloat,
            Case::Flac, Case::FlacCli, Case::Opus, Case::OpusEnc, Case::AacM4a, Case::AacItunes, Case::AacAdts,
            Case::AlacM4a, Case::Aiff, Case::WavPack, Case::Ape};
}

const char *Name(Case c)
{
    switch (c) {
    case Case::Mp3CbrTagged: return "Mp3CbrTagged";
    case Case::Mp3VbrTagged: return "Mp3VbrTagged";
    case Case::Mp3Untagged: return "Mp3Untagged";
    case Case::Mp3Mpeg2Mono: return "Mp3Mpeg2Mono";
    case Case::Mp2: return "Mp2";
    case Case::Wma: return "Wma";
    case Case::Ogg: return "Ogg";
    case Case::Musepack: return "Musepack";
    case Case::Wav8: return "Wav8";
    case Case::Wav16Mono: return "Wav16Mono";
    case Case::Wav24: return "Wav24";
    case Case::Wav32: return "Wav32";
    case Case::WavFloat: return "WavFloat";
    case Case::Flac: return "Flac";
    case Case::FlacCli: return "FlacCli";
    case Case::Opus: return "Opus";
    case Case::OpusEnc: return "OpusEnc";
    case Case::AacM4a: return "AacM4a";
    case Case::AacItunes: return "AacItunes";
    case Case::AacAdts: return "AacAdts";
    case Case::AlacM4a: return "AlacM4a";
    case Case::Aiff: return "Aiff";
    case Case::WavPack: return "WavPack";
    case Case::Ape: return "Ape";
    }
    return "?";
}

QString TempPath(const QString &fileName) { return dir().filePath(fileName); }

const Fixture &Get(Case c)
{
    static std::map<Case, Fixture> made;
    auto it = made.find(c);
    if (it == made.end())
        it = made.emplace(c, make(c)).first;
    EXPECT_TRUE(!it->second.unavailable.isEmpty() || QFileInfo(it->second.path).size() > 0) << Name(c) << " fixture was not made";
    return it->second;
}

QString CopyOf(const Fixture &f, const QString &suffix)
{
    const QFileInfo in(f.path);
    const QString out = TempPath(in.completeBaseName() + "_" + suffix + "." + in.suffix());
    QFile::remove(out);
    EXPECT_TRUE(QFile::copy(f.path, out));
    QFile(out).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    return out;
}

QString Damaged(const Fixture &f, Damage how)
{
    static const char *const names[] = {"truncated", "headeronly", "garbage", "empty"};
    const QFileInfo in(f.path);
    const QString out = TempPath(in.completeBaseName() + "_" + names[int(how)] + "." + in.suffix());
    QFile src(f.path);
    EXPECT_TRUE(src.open(QIODevice::ReadOnly));
    QByteArray data = src.readAll();
    switch (how) {
    case Damage::TruncatedHalf: data.truncate(data.size() / 2); break;
    case Damage::HeaderOnly: data.truncate(100); break;
    case Damage::GarbageInside: {
        std::mt19937 rng(1234);
        const qsizetype from = data.size() * 2 / 5;
        for (qsizetype i = from; i < std::min<qsizetype>(data.size(), from + 8192); ++i)
            data[i] = char(rng());
        break;
    }
    case Damage::Empty: data.clear(); break;
    }
    QFile dst(out);
    EXPECT_TRUE(dst.open(QIODevice::WriteOnly | QIODevice::Truncate));
    dst.write(data);
    return out;
}

} // namespace readfix

#include "tests/audio/read/ReadFixtures.h"
#include "tests/common/AudioFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
            Case::Musepack, Case::Wav8, Case::Wav16Mono, Case::Wav24, Case::Wav32, Case::WavFloat};
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
    EXPECT_TRUE(QFileInfo(it->second.path).size() > 0) << Name(c) << " fixture was not made";
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

#include "audio/LosslessCutter.h"
#include "tests/common/AudioFixtures.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct TaggedSource {
    const char *format; // the save format, also the extension
    QStringList codec;  // ffmpeg's output arguments for the audio
    bool picture;       // the container holds a cover picture as well
};

void PrintTo(const TaggedSource &s, std::ostream *os) { *os << s.format; }

int PictureStreams(const QString &path)
{
    QByteArray out;
    fixtures::Run("ffprobe", {"-v", "error", "-select_streams", "v", "-show_entries", "stream=index", "-of", "csv=p=0",
                              path},
                  &out);
    return int(out.trimmed().isEmpty() ? 0 : out.trimmed().split('\n').size());
}

class SourceTagsTest : public ::testing::TestWithParam<TaggedSource> {};

// A split with tags carries the source's own comments and pictures into each
// part (the split then writes the part's tag over them); a split without
// tags carries none, only the headers the codec requires.
TEST_P(SourceTagsTest, APartCarriesTheSourcesTagsOnlyWhenAsked)
{
    const TaggedSource &s = GetParam();
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("source.%1").arg(s.format));
    QStringList args{"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i", "sine=f=440:d=3"};
    if (s.picture)
        args << QStringList{"-f", "lavfi", "-i", "color=c=blue:s=32x32:d=1", "-map", "0:a", "-map", "1:v",
                            "-frames:v", "1", "-c:v", "png", "-disposition:v", "attached_pic"};
    args << QStringList{"-ar", "48000", "-ac", "2", "-metadata", "artist=Someone", "-metadata", "title=Whole"} << s.codec
         << source;
    ASSERT_EQ(fixtures::Run("ffmpeg", args), 0);
    ASSERT_EQ(LosslessSaveFormat(source), s.format);
    std::unique_ptr<LosslessCutter> cutter = OpenLosslessCutter(source);
    const int64_t start = cutter->partStart(48000), end = cutter->length();

    for (const bool carries : {true, false}) {
        const QString part = dir.filePath(QStringLiteral("part%1.%2").arg(int(carries)).arg(s.format));
        cutter->setCarriesSourceTags(carries);
        cutter->writePart(part, start, end, {});
        const fixtures::Probe probe = fixtures::ProbeFile(part);
        EXPECT_EQ(probe.tags.value("artist").toString(), carries ? "Someone" : "") << carries;
        EXPECT_EQ(probe.tags.contains("title"), carries);
        EXPECT_EQ(PictureStreams(part), carries && s.picture ? 1 : 0);
        EXPECT_EQ(fixtures::DecodedFrames(part), fixtures::DecodedFrames(source) - start) << "the audio is whole";
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, SourceTagsTest,
                         ::testing::Values(TaggedSource{"flac", {"-c:a", "flac"}, true},
                                           TaggedSource{"opus", {"-c:a", "libopus"}, false},
                                           TaggedSource{"ogg", {"-c:a", "libvorbis"}, false},
                                           TaggedSource{"m4a", {"-c:a", "aac"}, true}),
                         [](const auto &p) { return std::string(p.param.format); });

} // namespace

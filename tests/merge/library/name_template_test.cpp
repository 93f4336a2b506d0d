#include "merge/NameTemplate.h"

#include <gtest/gtest.h>

namespace {

const QString kAlbumPattern = QStringLiteral("{artist}/{album}/{track:02} - {title}");

QMap<QString, QString> Fields(std::initializer_list<std::pair<const char *, const char *>> list)
{
    QMap<QString, QString> f{{"filename", "source name"}};
    for (const auto &kv : list)
        f[QString::fromUtf8(kv.first)] = QString::fromUtf8(kv.second);
    return f;
}

} // namespace

TEST(NameTemplate, FillsFieldsPadsNumbersAndMakesFolders)
{
    EXPECT_EQ(NameFromTemplate(kAlbumPattern, Fields({{"artist", "Nina"}, {"album", "Live"}, {"track", "3"},
                                                      {"title", "Intro"}})),
              "Nina/Live/03 - Intro");
    EXPECT_EQ(NameFromTemplate("{year} {genre} {disc}-{albumartist}", Fields({{"year", "1999"}, {"genre", "Jazz"},
                                                                                {"disc", "2"}, {"albumartist", "VA"}})),
              "1999 Jazz 2-VA");
    EXPECT_EQ(NameFromTemplate("{filename}", Fields({})), "source name");
}

TEST(NameTemplate, AMissingFieldGivesTheFileName)
{
    EXPECT_EQ(NameFromTemplate(kAlbumPattern, Fields({{"artist", "Nina"}, {"title", "Intro"}})), "source name");
    EXPECT_EQ(NameFromTemplate(kAlbumPattern, Fields({{"artist", "Nina"}, {"album", ""}, {"track", "1"},
                                                      {"title", "Intro"}})),
              "source name");
}

TEST(NameTemplate, UnsafeTextNeverMakesFoldersOrLeavesTheOutputFolder)
{
    // "/" and ".." in tags stay inside their one name; refused characters
    // and control characters become "_".
    EXPECT_EQ(NameFromTemplate(kAlbumPattern, Fields({{"artist", ".."}, {"album", "../../etc"}, {"track", "1"},
                                                      {"title", "a:b/c?*\"<>|\\\t\x01"}})),
              "_/_.._etc/01 - a_b_c_________");
    EXPECT_EQ(NameFromTemplate("../{title}/./x", Fields({{"title", ".hidden. "}})), "_/hidden/_/x");
    EXPECT_EQ(SafeComponent("..."), "_");
    EXPECT_EQ(SafeComponent(QString(300, 'a')).size(), 180);
    EXPECT_EQ(SafeRelativePath("a\\..\\b/./c"), "a/_/b/_/c");
}

TEST(NameTemplate, ProblemsAreNamed)
{
    EXPECT_TRUE(TemplateProblem(kAlbumPattern).isEmpty());
    EXPECT_TRUE(TemplateProblem("{artst}").contains("unknown field {artst}"));
    EXPECT_FALSE(TemplateProblem("{title").isEmpty());
    EXPECT_EQ(NameFromTemplate("{artst}", Fields({})), "source name");
}

#include "config/ProgramFiles.h"
#include "config/ProgramSettings.h"
#include "tests/common/AsOrdinaryUser.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

// The layout decides where setup.ini lives, not a write test: root may write
// anywhere, yet an installed copy must still keep it in the user's folder.
struct LocationCase {
    const char *name;
    ProgramLayout layout;
    const char *xdgConfigHome;
    const char *expected;
};

class SettingsLocation : public ::testing::TestWithParam<LocationCase> {};

TEST_P(SettingsLocation, FollowsTheLayout)
{
    const LocationCase &c = GetParam();
    EXPECT_EQ(SettingsPathFor(c.layout, c.xdgConfigHome, "/home/ann"), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, SettingsLocation,
    ::testing::Values(
        LocationCase{"Installed", {"/usr/bin", true, true}, "", "/home/ann/.config/quorvis/setup.ini"},
        LocationCase{"InstalledUnpackedAnywhere", {"/tmp/x/usr/bin/", true, true}, "/cfg",
                     "/cfg/quorvis/setup.ini"},
        LocationCase{"InstalledIgnoresRelativeXdg", {"/usr/bin", true, true}, "cfg",
                     "/home/ann/.config/quorvis/setup.ini"},
        LocationCase{"Portable", {"/opt/quorvis", false, true}, "/cfg", "/opt/quorvis/setup.ini"},
        LocationCase{"PortableInBinWithoutShare", {"/home/ann/bin", false, true}, "", "/home/ann/bin/setup.ini"},
        LocationCase{"ShareBesideButNotBin", {"/opt/quorvis/build", true, true}, "",
                     "/opt/quorvis/build/setup.ini"},
        LocationCase{"PortableNotWritable", {"/media/cd", false, false}, "/cfg", "/cfg/quorvis/setup.ini"}),
    [](const auto &p) { return std::string(p.param.name); });

class ProgramFilesTest : public ::testing::Test {
protected:
    QTemporaryDir root;
    QString bin = root.filePath("usr/bin");
    QString share = root.filePath("usr/share/quorvis");

    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(bin));
        SetProgramDirectoryForTesting(bin);
    }
    void TearDown() override { SetProgramDirectoryForTesting(QString()); }
    static void Touch(const QString &path)
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
};

TEST_F(ProgramFilesTest, LayoutOfAnInstalledTree)
{
    EXPECT_FALSE(CurrentProgramLayout(bin).shareDirBeside);
    ASSERT_TRUE(QDir().mkpath(share));
    EXPECT_TRUE(CurrentProgramLayout(bin).shareDirBeside);
    EXPECT_EQ(SettingsPathFor(CurrentProgramLayout(bin), "", "/home/ann"), "/home/ann/.config/quorvis/setup.ini");
}

// Needs a folder the process cannot write, hence an ordinary user under root.
TEST_F(ProgramFilesTest, FolderClosedToWritingUnlessItsSetupIniIsWritable)
{
    const QString ini = bin + "/setup.ini";
    QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner);
    bool closed = true, withFile = false;
    {
        AsOrdinaryUser user({root.path(), root.filePath("usr"), bin});
        closed = CurrentProgramLayout(bin).besideWritable;
    }
    QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    Touch(ini);
    QFile::setPermissions(bin, QFile::ReadOwner | QFile::ExeOwner);
    {
        AsOrdinaryUser user({root.path(), root.filePath("usr"), bin, ini});
        withFile = CurrentProgramLayout(bin).besideWritable;
    }
    QFile::setPermissions(bin, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    EXPECT_FALSE(closed);
    EXPECT_TRUE(withFile);
}

TEST_F(ProgramFilesTest, DataFilesBesideTheExecutableFirstThenInShare)
{
    EXPECT_EQ(ProgramDataFile("tips.txt"), bin + "/tips.txt"); // neither exists
    ASSERT_TRUE(QDir().mkpath(share));
    Touch(share + "/tips.txt");
    EXPECT_EQ(ProgramDataFile("tips.txt"), share + "/tips.txt");
    Touch(bin + "/tips.txt");
    EXPECT_EQ(ProgramDataFile("tips.txt"), bin + "/tips.txt");
}

} // namespace


#include "audio/TAudioInformation2.h"
#include "merge/SourceFacts.h"
#include "tests/common/AudioFixtures.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

TEST(SourceFactsReader, ReadsOnTheWorkerAndAgainAfterAFileChanges)
{
    QTemporaryDir dir;
    const QString a = dir.filePath("a.wav"), b = dir.filePath("b.wav"), bad = dir.filePath("bad.mp3");
    fixtures::MakeTone(a, 1.0);
    fixtures::MakeTone(b, 2.0, 48000, 1);
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly) && f.write("not audio") > 0);
    f.close();

    std::atomic<int> arrivals{0};
    SourceFactsReader reader([&] { ++arrivals; });
    MergeSourceList list;
    list.Add({a, b, bad});
    list.Refresh(reader.Probe());
    EXPECT_EQ(list.Entries()[0].format, "Reading...");
    EXPECT_EQ(list.Entries()[0].length, "");
    EXPECT_EQ(list.ListTotalSamples, 0);
    for (int i = 0; i < 2000 && reader.Pending() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_EQ(reader.Pending(), 0);
    EXPECT_GE(arrivals.load(), 1);
    list.Refresh(reader.Probe());
    EXPECT_EQ(list.ListTotalSamples, 44100 + 96000);
    EXPECT_EQ(list.Entries()[1].length, "00:02");
    EXPECT_EQ(list.Entries()[2].format, "Unreadable");

    // Rewritten in place: read again, here on the caller's thread.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    fixtures::MakeTone(a, 3.0);
    reader.Shown();
    list.Refresh(reader.Probe());
    EXPECT_EQ(list.Entries()[0].format, "Reading...");
    TAudioInformation2 info;
    reader.ReadRemaining(info, nullptr);
    list.Refresh(reader.Probe());
    EXPECT_EQ(list.ListTotalSamples, 3 * 44100 + 96000);
}

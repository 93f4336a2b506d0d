#pragma once
#include "config/ProgramSettings.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A fresh program directory per test (setup.ini, tips.txt, support.ini and
// the help file live there) and scripted platform services.
class ProgramDirTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        SetProgramDirectoryForTesting(dir.path());
    }
    void TearDown() override { SetProgramDirectoryForTesting(QString()); }

    QString PathOf(const QString &name) const { return dir.filePath(name); }

    void WriteFile(const QString &name, const QByteArray &content) const
    {
        QFile f(PathOf(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
    }

    QByteArray ReadFile(const QString &name) const
    {
        QFile f(PathOf(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir dir;
    ScriptedPlatform platform;
};

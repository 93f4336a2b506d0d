#pragma once
#include "split/SplitPlan.h"
#include "split/WaveformSource.h"
#include "split/ui/TWaveformEditorForm.h"
#include "split/ui/TWaveformEditorView.h"
#include "tests/common/AudioFixtures.h"
#include "tests/common/ui/ScriptedPlatform.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace editor_test {

constexpr int Rate = 44100;

// The editor on a ten-second stereo tone cut at 3 s and 6 s, or on a source
// of a test's own (OpenEditor).
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath("tone.wav");
        fixtures::MakeTone(path, 10.0, Rate, 2, {"-c:a", "pcm_s16le"});
        OpenEditor(10, {3 * Rate, 6 * Rate});
    }

    void OpenEditor(int seconds, const std::vector<int64_t> &points)
    {
        plan.SourcePath = path;
        plan.DurationSeconds = seconds;
        plan.Mode = SplitMode::BySettings;
        plan.SetExactPoints(points, Rate);
        for (qsizetype k = 1; k < plan.PartSaveFlags.size(); ++k)
            plan.PartSaveFlags[k] = true;
        form = std::make_unique<TWaveformEditorForm>(nullptr, plan,
                                                     WaveformEditorSource{path, seconds * int64_t(Rate), Rate, 2}, "wav");
        form->resize(1000, 640);
        form->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        view = form->W.View;
    }

    // The pyramid holds the whole source.
    bool WaitForPeaks() const
    {
        return QTest::qWaitFor([this] { return form->Source().Poll().finished; }, 60000);
    }

    int Y() const { return view->WaveTop() + 40; }
    int64_t FrameAt(int x) const { return int64_t(std::llround(view->Axis().FrameAt(x))); }
    int XOf(int64_t frame) const { return int(std::lround(view->Axis().XOf(double(frame)))); }
    int64_t Point(int i) const { return form->Model().Points()[size_t(i)]; }

    void Wheel(int x, int delta, Qt::KeyboardModifiers modifiers)
    {
        const QPointF at(x, Y());
        QWheelEvent wheel(at, view->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, modifiers,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &wheel);
    }

    ScriptedPlatform platform;
    QTemporaryDir dir;
    QString path;
    SplitPlan plan;
    std::unique_ptr<TWaveformEditorForm> form;
    TWaveformEditorView *view = nullptr;
};

} // namespace editor_test

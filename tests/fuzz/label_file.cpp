// The label file reader on arbitrary text, and what a split does with what it
// accepts: parts from the labels, then the plan as labels and as a CUE sheet.
#include "split/LabelFile.h"
#include "tests/fuzz/FuzzInput.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = fuzz::TempPath("labels", "txt");
    fuzz::WriteFile(path, data, size);
    std::vector<AudioLabel> labels;
    try {
        labels = ReadLabelFile(path);
    } catch (const LabelFileError &) {
        return 0;
    }
    for (const AudioLabel &l : labels) {
        if (!(l.start >= 0 && l.end >= l.start))
            std::abort(); // an accepted label is a time span inside a recording
    }
    constexpr int rate = 44100;
    SplitPlan plan;
    plan.SourcePath = QStringLiteral("/music/take.wav");
    plan.DurationSeconds = 600;
    try {
        ApplyLabels(plan, labels, path, int64_t(plan.DurationSeconds) * rate, rate, QStringLiteral("wav"));
    } catch (const LabelFileError &) {
        return 0;
    }
    for (size_t k = 1; k + 1 < plan.PointFrames.size(); ++k) {
        if (plan.PointFrames[k] <= (k > 1 ? plan.PointFrames[k - 1] : 0))
            std::abort(); // points strictly increase
    }
    (void)PlanToLabels(plan, rate);
    std::vector<int32_t> offCdFrame;
    (void)PlanToCueSheet(plan, rate, &offCdFrame);
    (void)plan.PartRows();
    return 0;
}

// TEMPORARY: trivial stand-ins so the editor links until the real source and
// label files land; removed when they are merged.
#include "split/LabelFile.h"
#include "split/WaveformSource.h"

struct WaveformSource::Impl {
    Status status;
};
WaveformSource::WaveformSource() : impl_(std::make_unique<Impl>()) {}
WaveformSource::~WaveformSource() = default;
void WaveformSource::Start(const QString &path)
{
    impl_->status = {};
    impl_->status.source = path;
    impl_->status.finished = true;
}
void WaveformSource::Stop() {}
WaveformSource::Status WaveformSource::Poll() const { return impl_->status; }
void WaveformSource::Columns(int, double, double, int columns, std::vector<PeakRange> &out) const
{
    out.assign(size_t(std::max(columns, 0)), PeakRange{});
}
bool WaveformSource::Samples(int, int64_t, int64_t, std::vector<float> &out) const
{
    out.clear();
    return false;
}
bool WaveformSource::SamplesPending() const { return false; }
size_t WaveformSource::PyramidBytes() const { return 0; }

std::vector<AudioLabel> ReadLabelFile(const QString &path) { throw LabelFileError("not yet: " + path); }
void WriteLabelFile(const QString &path, const std::vector<AudioLabel> &) { throw LabelFileError("not yet: " + path); }
std::vector<AudioLabel> PlanToLabels(const SplitPlan &, int) { return {}; }
void ApplyLabels(SplitPlan &, const std::vector<AudioLabel> &, const QString &path, int64_t, int, const QString &)
{
    throw LabelFileError("not yet: " + path);
}
QString PlanToCueSheet(const SplitPlan &, int, std::vector<int32_t> *) { return {}; }

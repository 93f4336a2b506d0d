#include "split/WaveformEditorModel.h"

#include "split/SplitPointEditor.h"

#include "base/OutputFormat.h"

#include <QFileInfo>
#include <algorithm>
#include <cmath>

WaveformEditorModel::WaveformEditorModel(int64_t totalFrames, int sampleRate, QString extension)
    : total_(std::max<int64_t>(0, totalFrames)), rate_(sampleRate), extension_(output_format::ExtensionOfWord(std::move(extension).toLower()))
{
    s_.parts.resize(1);
}

void WaveformEditorModel::Load(const SplitPlan &plan)
{
    baseName_ = plan.PartBaseName();
    s_ = {};
    const int32_t count = std::max(1, plan.PartCount);
    auto partOf = [&plan](int32_t k) {
        EditorPart part;
        if (k < plan.PartNames.size())
            part.name = plan.PartNames[k];
        if (k < plan.PartTips.size() && !plan.PartTips[k].isEmpty())
            part.tip = plan.PartTips[k];
        if (k < plan.PartTags.size())
            part.tag = plan.PartTags[k];
        part.checked = k < plan.PartSaveFlags.size() && plan.PartSaveFlags[k];
        return part;
    };
    s_.parts.push_back(partOf(1));
    for (int32_t k = 1; k < count && k + 1 < int32_t(plan.TimePoints.size()); ++k) {
        const int64_t frame = SplitPointEditor::PointFrameAt(plan, k, rate_);
        // A point the source does not reach (a hand-set second past its
        // length) ends nothing: its part is dropped.
        if (frame <= 0 || frame >= total_ || (!s_.points.empty() && frame <= s_.points.back()))
            continue;
        s_.points.push_back(frame);
        s_.parts.push_back(partOf(k + 1));
    }
}

void WaveformEditorModel::Replace(const SplitPlan &plan)
{
    record();
    Load(plan);
}

void WaveformEditorModel::WriteTo(SplitPlan &plan) const
{
    const bool tagged = !plan.PartTags.isEmpty();
    plan.SetExactPoints(s_.points, rate_);
    if (tagged)
        plan.PartTags = QList<SplitPartTag>(plan.PartCount + 1);
    for (int p = 0; p < PartCount(); ++p) {
        const EditorPart &part = s_.parts[size_t(p)];
        plan.PartNames[p + 1] = part.name.isEmpty() ? ShownName(p) + "." + extension_ : part.name;
        plan.PartTips[p + 1] = part.tip;
        plan.PartSaveFlags[p + 1] = part.checked;
        if (tagged)
            plan.PartTags[p + 1] = part.tag;
    }
}

int64_t WaveformEditorModel::PartStart(int p) const
{
    return p <= 0 ? 0 : s_.points[size_t(p - 1)];
}

int64_t WaveformEditorModel::PartEnd(int p) const
{
    return p >= int(s_.points.size()) ? total_ : s_.points[size_t(p)];
}

int WaveformEditorModel::PartAt(int64_t frame) const
{
    return int(std::upper_bound(s_.points.begin(), s_.points.end(), frame) - s_.points.begin());
}

QString WaveformEditorModel::ShownName(int p) const
{
    const QString &name = s_.parts[size_t(p)].name;
    if (name.isEmpty()) {
        const QString number = QString::number(p + 1).rightJustified(2, QChar('0'));
        return baseName_.isEmpty() ? "part-" + number : baseName_ + "-" + number;
    }
    const int dot = name.lastIndexOf('.');
    return dot > 0 ? name.left(dot) : name;
}

void WaveformEditorModel::record()
{
    undo_.push_back(s_);
    redo_.clear();
}

int WaveformEditorModel::AddPoint(int64_t frame)
{
    if (frame <= 0 || frame >= total_ || std::binary_search(s_.points.begin(), s_.points.end(), frame))
        return -1;
    record();
    const int part = PartAt(frame);
    s_.points.insert(s_.points.begin() + part, frame);
    s_.parts.insert(s_.parts.begin() + part + 1, EditorPart{});
    return part;
}

bool WaveformEditorModel::RemovePoint(int index)
{
    if (index < 0 || index >= int(s_.points.size()))
        return false;
    record();
    s_.points.erase(s_.points.begin() + index);
    s_.parts.erase(s_.parts.begin() + index + 1);
    return true;
}

int64_t WaveformEditorModel::MinFrameFor(int index) const
{
    return PartStart(index) + 1;
}

int64_t WaveformEditorModel::MaxFrameFor(int index) const
{
    return PartEnd(index + 1) - 1;
}

int64_t WaveformEditorModel::MovePoint(int index, int64_t frame)
{
    if (index < 0 || index >= int(s_.points.size()))
        return frame;
    const int64_t to = std::clamp(frame, MinFrameFor(index), MaxFrameFor(index));
    int64_t &point = s_.points[size_t(index)];
    if (to == point)
        return point;
    record();
    s_.points[size_t(index)] = to;
    return to;
}

bool WaveformEditorModel::Rename(int part, const QString &typed)
{
    if (part < 0 || part >= PartCount())
        return false;
    QString name = typed.trimmed();
    if (name.isEmpty())
        return false;
    if (QFileInfo(name).suffix().toLower() != extension_)
        name += "." + extension_;
    if (name == s_.parts[size_t(part)].name)
        return false;
    record();
    s_.parts[size_t(part)].name = name;
    return true;
}

bool WaveformEditorModel::SetChecked(int part, bool checked)
{
    if (part < 0 || part >= PartCount() || s_.parts[size_t(part)].checked == checked)
        return false;
    record();
    s_.parts[size_t(part)].checked = checked;
    return true;
}

void WaveformEditorModel::Undo()
{
    if (undo_.empty())
        return;
    redo_.push_back(std::move(s_));
    s_ = std::move(undo_.back());
    undo_.pop_back();
}

void WaveformEditorModel::Redo()
{
    if (redo_.empty())
        return;
    undo_.push_back(std::move(s_));
    s_ = std::move(redo_.back());
    redo_.pop_back();
}

int QuietestColumn(const std::vector<PeakRange> &columns)
{
    int best = -1;
    float bestLevel = 0;
    double bestDistance = 0;
    const double middle = (double(columns.size()) - 1) / 2;
    for (size_t c = 0; c < columns.size(); ++c) {
        if (columns[c].empty())
            continue;
        const float level = std::max(std::fabs(columns[c].lo), std::fabs(columns[c].hi));
        const double distance = std::fabs(double(c) - middle);
        if (best < 0 || level < bestLevel || (level == bestLevel && distance < bestDistance)) {
            best = int(c);
            bestLevel = level;
            bestDistance = distance;
        }
    }
    if (best < 0)
        return best;
    // A cut belongs in the middle of a pause, not at its edge next to the
    // sound: take the centre of the run of equally quiet columns.
    const auto quiet = [&](int c) {
        return !columns[size_t(c)].empty()
               && std::max(std::fabs(columns[size_t(c)].lo), std::fabs(columns[size_t(c)].hi)) == bestLevel;
    };
    int from = best, to = best;
    while (from > 0 && quiet(from - 1))
        --from;
    while (to + 1 < int(columns.size()) && quiet(to + 1))
        ++to;
    return from + (to - from) / 2;
}

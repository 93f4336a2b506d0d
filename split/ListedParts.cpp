#include "split/ListedParts.h"

#include "split/CueSheet.h"

void FillListedParts(SplitPlan &plan, const std::vector<ListedPart> &parts, int sampleRate,
                     const QString &extension, const QString &leadName, const QString &leadTip)
{
    const bool lead = parts.front().start > 0;
    std::vector<int64_t> points;
    for (size_t i = lead ? 0 : 1; i < parts.size(); ++i)
        points.push_back(parts[i].start);
    plan.SetExactPoints(points, sampleRate);

    const QString ext = extension.toLower();
    const int32_t first = lead ? 2 : 1;
    if (lead) {
        plan.PartNames[1] = "00 - " + leadName + "." + ext;
        plan.PartTips[1] = leadTip;
        plan.PartSaveFlags[1] = false;
    }
    plan.PartTags.resize(plan.PartCount + 1);
    for (size_t i = 0; i < parts.size(); ++i) {
        const ListedPart &p = parts[i];
        const int32_t k = first + int32_t(i);
        plan.PartNames[k] =
            QStringLiteral("%1 - %2.%3").arg(p.number, 2, 10, QChar('0')).arg(SafeFileNamePart(p.tag.title), ext);
        plan.PartTips[k] = p.tip;
        plan.PartSaveFlags[k] = true;
        plan.PartTags[k] = p.tag;
    }
}

#include "merge/ui/NormaliseBox.h"

#include "config/ProgramSettings.h"
#include "merge/MergeEngine.h"

#include <QComboBox>

namespace merge_form {

QComboBox *MakeNormaliseBox(QWidget *parent)
{
    auto *box = new QComboBox(parent);
    box->setObjectName("CBNormalise");
    box->setToolTip("Each file is measured first (EBU R128) and merged at this loudness;\n"
                    "a gain that would lift a file's true peak above -1 dBTP is held back");
    box->addItem("Off", 0);
    for (const int lufs : {-23, -18, -16, -14})
        box->addItem(QStringLiteral("%1 LUFS").arg(lufs), lufs);
    const int index = box->findData(ProgramSettings.normalise);
    box->setCurrentIndex(index >= 0 ? index : 0);
    return box;
}

int NormaliseTarget(const QComboBox &box) { return box.currentData().toInt(); }

void RememberMergeChoices(const MergeRequest &request)
{
    ProgramSettings.chaptermarks = request.chapterMarks ? 1 : 0;
    ProgramSettings.normalise = request.normaliseLufs;
    SaveChapterMarksSetting();
    SaveNormaliseSetting();
}

} // namespace merge_form

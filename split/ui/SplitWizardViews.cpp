#include "split/ui/SplitWizardViews.h"

#include "split/SplitPlan.h"
#include "split/ui/TSplitForm.h"

#include <QLineEdit>
#include <QStringList>

namespace split_wizard {

void ShowSourceInformation(TSplitForm &f)
{
    const TAudioInformation2 &info = f.AudioInformation;
    f.EdTitle->setText(info.infoTitle());
    f.EdArtist->setText(info.infoArtist());
    f.EdAlbum->setText(info.infoAlbum());
    f.EdYear->setText(QString::number(info.infoYear()));
    f.EdGenre->setText(info.GenreName(info.infoGenre()));
    f.EdFormat->setText(info.FormatText());
    f.EdSize->setText(QString::number(info.FileSize()));
    f.EdDuration->setText(QString::number(info.Duration()));
}

void ClearSourceFields(TSplitForm &f)
{
    f.EdFileName->clear();
    for (QLineEdit *e : {f.EdTitle, f.EdArtist, f.EdAlbum, f.EdYear, f.EdGenre, f.EdFormat, f.EdSize, f.EdDuration})
        e->clear();
}

QString LosslessHint(const QString &sourceFormat, const QString &saveFormat)
{
    if (sourceFormat.isEmpty())
        return "Only an MP3 (MPEG Layer III) or FLAC source can be copied without re-encoding.";
    const QString name = sourceFormat.toUpper();
    if (sourceFormat != saveFormat.toLower())
        return "Choose " + name + " as the save format to copy the audio without re-encoding.";
    return "Copies the source's " + name + " frames into the parts: every cut is exact and nothing "
           "loses quality.\nThe " + name + " encoder settings are not used.";
}

QString SplitSummaryText(const SplitPlan &plan, const QString &saveFormat, const QString &savePath, bool lossless)
{
    const QString indent = QStringLiteral("        ");
    QString mode;
    switch (plan.Mode) {
    case SplitMode::ByAmount: mode = indent + "Split in " + QString::number(plan.PartCount) + " Parts"; break;
    case SplitMode::ByTime: mode = indent + "Split every " + QString::number(plan.SecondsPerPart) + " seconds"; break;
    case SplitMode::BySettings: mode = indent + "Split by pre-listening settings"; break;
    }
    QStringList lines{"Source File ", indent + plan.SourcePath, "Split Mode ", mode,
                      "Save Format ", indent + saveFormat, "Save Path ", indent + savePath};
    if (lossless)
        lines << "Lossless " << indent + saveFormat.toUpper() + " frames are copied without re-encoding; the cut is exact";
    return lines.join('\n');
}

} // namespace split_wizard

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

namespace {
// What a lossless split copies, by the save format it copies into.
QString CopiedUnits(const QString &format)
{
    const QString f = format.toLower();
    if (f == "opus")
        return "Opus packets";
    if (f == "ogg")
        return "Vorbis packets";
    if (f == "m4a")
        return "AAC packets";
    return f.toUpper() + " frames";
}

// Where the copy is not exact to the sample, the user hears of it before the run.
QString CutPrecision(const QString &format)
{
    const QString f = format.toLower();
    if (f == "opus")
        return "each part has its exact length; after a cut the decoder needs a few milliseconds to settle, "
               "so the first ones differ very slightly from the source";
    if (f == "ogg")
        return "each part ends exactly; it begins at the start of the packet that holds its split point, "
               "at most a few hundredths of a second early, and the part before ends there too";
    if (f == "m4a")
        return "each part begins and ends at the start of the packet that holds its split point, at most a few "
               "hundredths of a second early, so that players stop exactly where the next part begins";
    return "the cut is exact";
}
} // namespace

QString LosslessHint(const QString &sourceFormat, const QString &saveFormat)
{
    if (sourceFormat.isEmpty())
        return "Only an MP3 (MPEG Layer III), FLAC, Opus, Ogg Vorbis or AAC (in MP4) source can be copied without "
               "re-encoding.";
    const QString name = sourceFormat.toUpper();
    if (sourceFormat != saveFormat.toLower())
        return "Choose " + name + " as the save format to copy the audio without re-encoding.";
    if (sourceFormat == "opus" || sourceFormat == "ogg" || sourceFormat == "m4a")
        return "Copies the source's " + CopiedUnits(sourceFormat) + " into the parts: nothing is re-encoded; "
               + CutPrecision(sourceFormat) + ".\nThe " + name + " encoder settings are not used.";
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
        lines << "Lossless " << indent + CopiedUnits(saveFormat) + " are copied without re-encoding; " + CutPrecision(saveFormat);
    return lines.join('\n');
}

} // namespace split_wizard

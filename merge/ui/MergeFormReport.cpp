#include "merge/ui/MergeFormReport.h"

#include "base/PlatformServices.h"
#include "base/TimeFormat.h"
#include "config/ProgramSettings.h"
#include "merge/WindowMode.h"
#include "merge/ui/SourceListView.h"
#include "merge/ui/TMergeForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>

void MergeFormReport::Progress(int percent)
{
    (WindowMode == LauncherMode::Merge ? form_.Gauge1 : form_.Gauge2)->setValue(percent);
}

void MergeFormReport::Status(const QString &text) { form_.StatusPanel2->setText(text); }

void MergeFormReport::FilesLeft(int done, int left, int secondsLeft)
{
    // On the gauge: the status beside it keeps the run's one word.
    form_.Gauge2->setFormat(QStringLiteral("%p%  -  %1 done, %2 left, about %3 left")
                                .arg(done)
                                .arg(left)
                                .arg(FormatMinutesSeconds(secondsLeft)));
}

void MergeFormReport::RowStatus(int row, const QString &text)
{
    if (QTreeWidgetItem *item = form_.ListView1->topLevelItem(row - 1))
        item->setText(merge_form::kStatusColumn, text);
}

void MergeFormReport::OutputWritten(int row, const QString &path)
{
    if (QTreeWidgetItem *item = form_.ListView1->topLevelItem(row - 1))
        item->setToolTip(merge_form::kStatusColumn, QDir::toNativeSeparators(path));
}

void MergeFormReport::Information(const QString &text) { Platform().InformationBox(text); }
void MergeFormReport::Message(const QString &text) { Platform().MessageBox(text); }
void MergeFormReport::Error(const QString &text) { Platform().ErrorBox(ErrorBoxText(text)); }

void MergeFormReport::Breathe() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void MergeFormReport::Began()
{
    SetControlsEnabled(false);
    form_.Gauge2->setFormat(QStringLiteral("%p%"));
    // The preview's player may still be reading when the run starts writing.
    form_.StopPreviewIfActive();
}

void MergeFormReport::Ended() { SetControlsEnabled(true); }

void MergeFormReport::SetControlsEnabled(bool on)
{
    if (WindowMode == LauncherMode::Merge)
        form_.SetMergeControlsEnabled(on);
    else
        form_.SetConvertControlsEnabled(on);
}

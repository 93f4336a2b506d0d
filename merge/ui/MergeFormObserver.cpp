#include "merge/ui/MergeFormObserver.h"

#include "base/PlatformServices.h"
#include "config/ProgramSettings.h"
#include "merge/WindowMode.h"
#include "merge/ui/SourceListView.h"
#include "merge/ui/TMergeForm.h"

#include <QCoreApplication>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>

void MergeFormObserver::SetGauge(int percent)
{
    (WindowMode == LauncherMode::Merge ? form_.Gauge1 : form_.Gauge2)->setValue(percent);
}

void MergeFormObserver::SetStatusText(const QString &text) { form_.StatusPanel2->setText(text); }

void MergeFormObserver::SetRowStatus(int row, const QString &text)
{
    if (QTreeWidgetItem *item = form_.ListView1->topLevelItem(row - 1))
        item->setText(merge_form::kStatusColumn, text);
}

void MergeFormObserver::OutputWritten(int row, const QString &path)
{
    if (QTreeWidgetItem *item = form_.ListView1->topLevelItem(row - 1))
        item->setToolTip(merge_form::kStatusColumn, QDir::toNativeSeparators(path));
}

void MergeFormObserver::Information(const QString &text) { Platform().InformationBox(text); }
void MergeFormObserver::Message(const QString &text) { Platform().MessageBox(text); }
void MergeFormObserver::Error(const QString &text) { Platform().ErrorBox(ErrorBoxText(text)); }

void MergeFormObserver::Breathe() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void MergeFormObserver::SetControlsEnabled(bool on)
{
    if (WindowMode == LauncherMode::Merge)
        form_.SetMergeControlsEnabled(on);
    else
        form_.SetConvertControlsEnabled(on);
}

void MergeFormObserver::StopPreview() { form_.StopPreviewIfActive(); }

void MergeFormObserver::OutputChosen(const QString &savepath, const QString &saveformat)
{
    ProgramSettings.savepath = savepath;
    ProgramSettings.saveformat = saveformat;
}

void MergeFormObserver::SaveGeneralSettings(const QString &mergeFileName)
{
    ::SaveGeneralSettings(mergeFileName);
    ::SaveJobsSetting();
}

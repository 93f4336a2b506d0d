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

void TMergeFormObserver::SetGauge(int percent)
{
    (WindowMode == TWindowMode::Merge ? form_.Gauge1 : form_.Gauge2)->setValue(percent);
}

void TMergeFormObserver::SetStatusText(const QString &text) { form_.StatusPanel2->setText(text); }

void TMergeFormObserver::SetRowStatus(int row, const QString &text)
{
    if (QTreeWidgetItem *item = form_.ListView1->topLevelItem(row - 1))
        item->setText(merge_form::kStatusColumn, text);
}

void TMergeFormObserver::OutputWritten(int row, const QString &path)
{
    if (QTreeWidgetItem *item = form_.ListView1->topLevelItem(row - 1))
        item->setToolTip(merge_form::kStatusColumn, QDir::toNativeSeparators(path));
}

void TMergeFormObserver::Information(const QString &text) { Platform().InformationBox(text); }
void TMergeFormObserver::Message(const QString &text) { Platform().MessageBox(text); }
void TMergeFormObserver::Error(const QString &text) { Platform().ErrorBox(ErrorBoxText(text)); }

void TMergeFormObserver::Breathe() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void TMergeFormObserver::SetControlsEnabled(bool on)
{
    if (WindowMode == TWindowMode::Merge)
        form_.SetMergeControlsEnabled(on);
    else
        form_.SetConvertControlsEnabled(on);
}

void TMergeFormObserver::StopPreview() { form_.StopPreviewIfActive(); }

void TMergeFormObserver::OutputChosen(const QString &savepath, const QString &saveformat)
{
    ProgramSettings.savepath = savepath;
    ProgramSettings.saveformat = saveformat;
}

void TMergeFormObserver::SaveGeneralSettings(const QString &mergeFileName)
{
    ::SaveGeneralSettings(mergeFileName);
    ::SaveJobsSetting();
}

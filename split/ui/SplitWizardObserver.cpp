#include "split/ui/SplitWizardObserver.h"

#include "base/PlatformServices.h"
#include "split/ui/TSplitForm.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>
#include <algorithm>

void SplitWizardObserver::Progress(int percent)
{
    form_.Gauge1->setValue(std::clamp(percent, 0, 100));
}

void SplitWizardObserver::StatusText(const QString &text)
{
    form_.StatusPanel1->setText(text);
}

void SplitWizardObserver::InformationMessage(const QString &text)
{
    Platform().InformationBox(text);
}

void SplitWizardObserver::PlainMessage(const QString &text)
{
    Platform().MessageBox(text);
}

void SplitWizardObserver::ErrorMessage(const QString &text)
{
    Platform().ErrorBox(ErrorBoxText(text));
}

bool SplitWizardObserver::IsRowChecked(int row) const
{
    const QTreeWidgetItem *item = form_.ListView1->topLevelItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

void SplitWizardObserver::Breathe()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

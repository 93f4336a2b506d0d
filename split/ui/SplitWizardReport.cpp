#include "split/ui/SplitWizardReport.h"

#include "base/PlatformServices.h"
#include "split/ui/TSplitForm.h"

#include <QCoreApplication>
#include <QLabel>
#include <QProgressBar>
#include <QTreeWidget>
#include <algorithm>

void SplitWizardReport::Progress(int percent)
{
    form_.Gauge1->setValue(std::clamp(percent, 0, 100));
}

void SplitWizardReport::Status(const QString &text)
{
    form_.StatusPanel1->setText(text);
}

void SplitWizardReport::Information(const QString &text)
{
    Platform().InformationBox(text);
}

void SplitWizardReport::Message(const QString &text)
{
    Platform().MessageBox(text);
}

void SplitWizardReport::Error(const QString &text)
{
    Platform().ErrorBox(ErrorBoxText(text));
}

void SplitWizardReport::Breathe()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

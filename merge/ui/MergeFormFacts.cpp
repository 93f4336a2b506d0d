// The list's facts: read on a worker and shown as they come in, so that a
// folder of thousands of files is in the list at once.
#include "merge/SourceFacts.h"
#include "merge/ui/LibraryOptions.h"
#include "merge/ui/SourceListView.h"
#include "merge/ui/TMergeForm.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

namespace {
// Fewer new files than this are read at once, as they always were: the rows
// come complete and there is nothing to wait for.
constexpr int kReadAtOnce = 24;
} // namespace

void TMergeForm::StartSourceFacts()
{
    facts_ = std::make_unique<SourceFactsReader>([this] {
        QMetaObject::invokeMethod(this, &TMergeForm::ShowArrivedFacts, Qt::QueuedConnection);
    });
}

void TMergeForm::StopSourceFacts() { facts_.reset(); }

void TMergeForm::RefreshSourceList()
{
    SourceFileList.Refresh(facts_->Probe());
    // Counted in the rows: the worker may have read them all by now, and
    // they are shown from the facts as they were asked for.
    if (SourceFileList.Pending > 0 && SourceFileList.Pending <= kReadAtOnce) {
        facts_->ReadRemaining(AudioInformation1, nullptr);
        SourceFileList.Refresh(facts_->Probe());
    }
    merge_form::FillSourceList(*ListView1, SourceFileList);
    StatusPanel1->setText(SourceFileList.TotalsLine());
    if (ListView1->topLevelItemCount() == 0)
        BitBtnMerge->setEnabled(false);
    ShowNamePreview();
}

void TMergeForm::ShowArrivedFacts()
{
    facts_->Shown();
    SourceFileList.Refresh(facts_->Probe());
    merge_form::UpdateSourceFacts(*ListView1, SourceFileList);
    StatusPanel1->setText(SourceFileList.TotalsLine());
}

void TMergeForm::CompleteSourceFacts()
{
    if (SourceFileList.Pending == 0)
        return;
    // A run needs every file's length for its gauge. Clicks wait: the run
    // about to start is what they would act on.
    facts_->ReadRemaining(AudioInformation1, [this](int left) {
        StatusPanel2->setText(QStringLiteral("Reading %1 file(s)...").arg(left));
        QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
    });
    ShowArrivedFacts();
}

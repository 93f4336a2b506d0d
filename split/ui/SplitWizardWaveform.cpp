#include "split/ui/SplitWizardWaveform.h"

#include "audio/MulDiv.h"
#include "audio/TAudioPlayer2.h"
#include "audio/ui/TNCTSliderB2.h"
#include "audio/ui/PreviewPanel.h"
#include "split/SplitPointEditor.h"
#include "split/ui/TSplitForm.h"
#include "split/ui/SplitPointControls.h"
#include "split/ui/TWaveformStrip.h"

#include <QComboBox>
#include <QEvent>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>

namespace {

// Often enough that the waveform seems to grow, rarely enough to cost nothing.
constexpr int PollMs = 100;
constexpr int SliderMax = 1000;

} // namespace

SplitWaveform::SplitWaveform(TSplitForm &form) : QObject(&form), f_(form), strip_(new TWaveformStrip)
{
    setObjectName("SplitWaveform");
    poll_.setInterval(PollMs);
    connect(&poll_, &QTimer::timeout, this, &SplitWaveform::PollWorker);
    connect(strip_, &TWaveformStrip::SeekRequested, this, &SplitWaveform::StripSeek);
    connect(strip_, &TWaveformStrip::PointMoved, this, &SplitWaveform::StripPointMoved);
    form.installEventFilter(this);
}

SplitWaveform::~SplitWaveform()
{
    worker_.Stop();
}

void SplitWaveform::SetSource(const QString &path)
{
    if (path == source_)
        return;
    source_ = path;
    worker_.Stop();
    poll_.stop();
    peaks_.clear();
    status_ = {};
    strip_->SetSource(0);
    if (path.isEmpty())
        return;
    worker_.Start(path);
    poll_.start();
}

void SplitWaveform::Stop()
{
    worker_.Stop();
    poll_.stop();
}

bool SplitWaveform::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == &f_ && event->type() == QEvent::Close)
        Stop();
    return QObject::eventFilter(watched, event);
}

void SplitWaveform::PollWorker()
{
    const bool known = status_.sampleRate > 0;
    // Asked before the poll: a worker that ends between the two has its last
    // buckets and its end handed over by this poll, not lost with the timer.
    const bool running = worker_.Running();
    status_ = worker_.Poll(peaks_);
    if (!known && status_.sampleRate > 0) {
        strip_->SetSource(status_.totalFrames);
        ReadPlan();
    }
    strip_->SetPeaks(peaks_, status_.framesPerBucket, status_.finished ? 100 : status_.Percent());
    if (!status_.error.isEmpty())
        strip_->SetNote("No waveform: " + status_.error);
    if (status_.finished || !running)
        poll_.stop();
}

void SplitWaveform::ReadPlan()
{
    if (status_.sampleRate <= 0)
        return;
    std::vector<int64_t> points;
    points.reserve(f_.Plan.TimePoints.size());
    for (int32_t k = 0; k < int32_t(f_.Plan.TimePoints.size()); ++k)
        points.push_back(std::min(SplitPointEditor::PointFrameAt(f_.Plan, k, status_.sampleRate), status_.totalFrames));
    strip_->SetSplitPoints(std::move(points));
    strip_->SetSelectedPart(f_.PointEditor->SelectedRow());
}

void SplitWaveform::StripSeek(int64_t frame)
{
    const int64_t total = strip_->TotalFrames();
    if (total <= 0)
        return;
    f_.Preview->SeekPreview(int(std::clamp<int64_t>(MulDiv64(frame, SliderMax, total), 0, SliderMax)));
}

void SplitWaveform::StripPointMoved(int index, int64_t frame)
{
    if (SplitPointEditor::MoveSplitPointTo(f_.Plan, index, frame, status_.sampleRate)) {
        f_.PointEditor->RebuildPartList(); // which reads the plan back into the strip
        // A point put where the user sees it is cut there: the Exact
        // precision, until the user picks another.
        f_.cbPrecision->setCurrentIndex(4);
    } else
        ReadPlan(); // the line goes back where the plan has it
}

namespace split_wizard {

SplitWaveform *BuildWaveform(TSplitForm &f)
{
    auto *waveform = new SplitWaveform(f);
    auto *group = qobject_cast<QVBoxLayout *>(f.GroupBoxManual->layout());
    group->insertWidget(group->indexOf(f.ListView1), waveform->Strip());
    f.EditorControls << waveform->Strip();

    TWaveformStrip *strip = waveform->Strip();
    // The source is known once step 1 shows its name (cleared again when it
    // cannot be read).
    QObject::connect(f.EdFileName, &QLineEdit::textChanged, waveform, &SplitWaveform::SetSource);
    QObject::connect(f.PointEditor, &SplitPointControls::PartListRebuilt, waveform, &SplitWaveform::ReadPlan);
    // The strip is the context of what follows, and the editor and preview
    // are watched: the window's children go in no fixed order when it is
    // destroyed, and a list or slider may still report then.
    const QPointer<SplitPointControls> editor = f.PointEditor;
    const QPointer<PreviewPanel> preview = f.Preview;
    QObject::connect(f.ListView1, &QTreeWidget::itemSelectionChanged, strip, [editor, strip] {
        if (editor)
            strip->SetSelectedPart(editor->SelectedRow());
    });
    QObject::connect(f.AudioPlayer1.get(), &TAudioPlayer2::OnTimer, strip, [preview, strip](qint64 played) {
        if (preview && preview->PreviewActive)
            strip->SetCursorFrame(preview->PreviewStartSample + played);
    });
    // Stopped or not yet playing, the cursor shows where play would start.
    QObject::connect(f.NCTSliderB1, &QSlider::valueChanged, strip, [preview, strip](int v) {
        if (preview && !preview->PreviewActive)
            strip->SetCursorFrame(std::max<int64_t>(0, MulDiv64(v, strip->TotalFrames(), SliderMax)));
    });
    return waveform;
}

} // namespace split_wizard

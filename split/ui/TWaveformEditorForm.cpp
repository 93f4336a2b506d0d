#include "split/ui/TWaveformEditorForm.h"

#include "base/PlatformServices.h"
#include "base/ui/Guarded.h"
#include "split/LabelFile.h"
#include "split/SplitPointEditor.h"
#include "split/WaveformEditorModel.h"
#include "split/WaveformEditorPlayer.h"
#include "split/WaveformSource.h"
#include "split/ui/TWaveformEditorView.h"
#include "split/ui/TWaveformOverview.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QShortcut>
#include <QSpinBox>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>

namespace {

// Often enough that the waveform seems to grow, rarely enough to cost nothing.
constexpr int PollMs = 100;
constexpr double ButtonZoom = 0.5;
// Columns the snap search looks at: fine enough to find a gap between beats.
constexpr int64_t SnapColumns = 512;

} // namespace

TWaveformEditorForm::TWaveformEditorForm(QWidget *owner, const SplitPlan &plan, const WaveformEditorSource &source,
                                         const QString &extension)
    : QDialog(owner), plan_(plan), info_(source), extension_(extension), source_(std::make_unique<WaveformSource>()),
      model_(std::make_unique<WaveformEditorModel>(source.totalFrames, source.sampleRate, extension)),
      player_(std::make_unique<WaveformEditorPlayer>())
{
    model_->Load(plan_);
    W.View = new TWaveformEditorView(*source_, *model_);
    W.Overview = new TWaveformOverview(*source_, W.View->Axis());
    waveform_editor::BuildWidgets(*this, W);
    W.View->SetSource(info_.totalFrames, info_.sampleRate, info_.channels);
    connectControls();
    poll_.setInterval(PollMs);
    connect(&poll_, &QTimer::timeout, this, Guarded([this] { pollSource(); }));
    source_->Start(info_.path);
    poll_.start();
    W.View->setFocus();
    refresh();
}

TWaveformEditorForm::~TWaveformEditorForm()
{
    player_->Stop();
    source_->Stop();
}

void TWaveformEditorForm::connectControls()
{
    TWaveformEditorView *v = W.View;
    connect(v, &TWaveformEditorView::AddRequested, this, Guarded([this] { BtnAddClick(); }));
    connect(v, &TWaveformEditorView::RemoveRequested, this, Guarded([this] { BtnRemoveClick(); }));
    connect(v, &TWaveformEditorView::PlayPauseRequested, this, Guarded([this] { BtnPlayClick(); }));
    connect(v, &TWaveformEditorView::NudgeRequested, this, &TWaveformEditorForm::NudgeKey);
    connect(v, &TWaveformEditorView::PointPressed, this, &TWaveformEditorForm::ViewPointPressed);
    connect(v, &TWaveformEditorView::PointDropped, this, &TWaveformEditorForm::ViewPointDropped);
    connect(v, &TWaveformEditorView::CursorPlaced, this, &TWaveformEditorForm::ViewCursorPlaced);
    connect(v, &TWaveformEditorView::ViewChanged, W.Overview, qOverload<>(&QWidget::update));
    connect(v, &TWaveformEditorView::DataPending, this, [this] {
        if (!poll_.isActive())
            poll_.start();
    });
    connect(W.Overview, &TWaveformOverview::CentreRequested, this, &TWaveformEditorForm::OverviewCentreRequested);
    const std::pair<QPushButton *, void (TWaveformEditorForm::*)()> clicks[] = {
        {W.BtnAdd, &TWaveformEditorForm::BtnAddClick},
        {W.BtnRemove, &TWaveformEditorForm::BtnRemoveClick},
        {W.BtnZoomIn, &TWaveformEditorForm::BtnZoomInClick},
        {W.BtnZoomOut, &TWaveformEditorForm::BtnZoomOutClick},
        {W.BtnFit, &TWaveformEditorForm::BtnFitClick},
        {W.BtnZoomPart, &TWaveformEditorForm::BtnZoomPartClick},
        {W.BtnPlay, &TWaveformEditorForm::BtnPlayClick},
        {W.BtnPlayCut, &TWaveformEditorForm::BtnPlayCutClick},
        {W.BtnPlayPart, &TWaveformEditorForm::BtnPlayPartClick},
        {W.BtnUndo, &TWaveformEditorForm::BtnUndoClick},
        {W.BtnRedo, &TWaveformEditorForm::BtnRedoClick},
        {W.BtnMoveTo, &TWaveformEditorForm::BtnMoveToClick},
        {W.BtnImportLabels, &TWaveformEditorForm::BtnImportLabelsClick},
        {W.BtnExportLabels, &TWaveformEditorForm::BtnExportLabelsClick},
        {W.BtnExportCue, &TWaveformEditorForm::BtnExportCueClick},
    };
    for (const auto &click : clicks) {
        const auto handler = click.second;
        connect(click.first, &QPushButton::clicked, this, Guarded([this, handler] { (this->*handler)(); }));
    }
    const std::pair<QKeySequence, void (TWaveformEditorForm::*)()> keys[] = {
        {QKeySequence(Qt::CTRL | Qt::Key_Z), &TWaveformEditorForm::BtnUndoClick},
        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), &TWaveformEditorForm::BtnRedoClick},
        {QKeySequence(Qt::CTRL | Qt::Key_0), &TWaveformEditorForm::BtnFitClick},
        {QKeySequence(Qt::CTRL | Qt::Key_E), &TWaveformEditorForm::BtnZoomPartClick},
        {QKeySequence(Qt::Key_C), &TWaveformEditorForm::BtnPlayCutClick},
        {QKeySequence(Qt::Key_P), &TWaveformEditorForm::BtnPlayPartClick},
    };
    for (const auto &key : keys) {
        const auto handler = key.second;
        connect(new QShortcut(key.first, this), &QShortcut::activated, this,
                Guarded([this, handler] { (this->*handler)(); }));
    }
    connect(W.EdTime, &QLineEdit::returnPressed, this, Guarded([this] { BtnMoveToClick(); }));
    connect(W.PartList, &QTreeWidget::itemChanged, this, &TWaveformEditorForm::PartListItemChanged);
    connect(W.PartList, &QTreeWidget::itemSelectionChanged, this, &TWaveformEditorForm::PartListSelectionChanged);
    connect(W.Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(W.Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(player_.get(), &WaveformEditorPlayer::PositionChanged, this, &TWaveformEditorForm::playerPosition);
    connect(player_.get(), &WaveformEditorPlayer::Stopped, this, &TWaveformEditorForm::playerStopped);
}

SplitPlan TWaveformEditorForm::EditedPlan() const
{
    SplitPlan plan = plan_;
    model_->WriteTo(plan);
    return plan;
}

void TWaveformEditorForm::done(int result)
{
    player_->Stop();
    source_->Stop();
    poll_.stop();
    QDialog::done(result);
}

// The list, the buttons and the time box, again from the model.
void TWaveformEditorForm::refresh()
{
    const WaveformEditorModel &m = *model_;
    const int rate = info_.sampleRate;
    selectedPart_ = std::clamp(selectedPart_, 0, m.PartCount() - 1);
    int point = W.View->SelectedPoint();
    if (point >= int(m.Points().size()))
        point = -1;
    W.View->SetSelectedPoint(point);
    W.View->SetSelectedPart(selectedPart_);
    {
        const QSignalBlocker block(W.PartList);
        W.PartList->clear();
        for (int p = 0; p < m.PartCount(); ++p) {
            auto *item = new QTreeWidgetItem(W.PartList);
            item->setFlags(item->flags() | Qt::ItemIsEditable | Qt::ItemIsUserCheckable);
            item->setText(waveform_editor::ColumnPart, QString::number(p + 1));
            item->setCheckState(waveform_editor::ColumnPart, m.Part(p).checked ? Qt::Checked : Qt::Unchecked);
            item->setText(waveform_editor::ColumnStart, FormatClock(m.PartStart(p), rate));
            item->setText(waveform_editor::ColumnLength, FormatClock(m.PartEnd(p) - m.PartStart(p), rate));
            item->setText(waveform_editor::ColumnName, m.ShownName(p));
        }
        W.PartList->setCurrentItem(W.PartList->topLevelItem(selectedPart_));
    }
    W.BtnUndo->setEnabled(m.CanUndo());
    W.BtnRedo->setEnabled(m.CanRedo());
    for (QWidget *w : std::initializer_list<QWidget *>{W.BtnRemove, W.BtnPlayCut, W.BtnMoveTo, W.EdTime})
        w->setEnabled(point >= 0);
    W.EdTime->setText(point >= 0 ? FormatClock(m.Points()[size_t(point)], rate) : QString());
    W.StatusText->setText(QString("Cursor %1    %2 parts").arg(FormatClock(W.View->CursorFrame(), rate)).arg(m.PartCount()));
    W.View->update();
}

void TWaveformEditorForm::selectPart(int part)
{
    selectedPart_ = part;
    refresh();
}

void TWaveformEditorForm::selectPoint(int index)
{
    W.View->SetSelectedPoint(index);
    if (index >= 0)
        selectedPart_ = index;
    refresh();
}

int64_t TWaveformEditorForm::snapped(int64_t frame) const
{
    if (!W.CheckSnap->isChecked() || info_.sampleRate <= 0)
        return frame;
    const int64_t reach = std::max<int64_t>(1, int64_t(W.SpinSnapMs->value()) * info_.sampleRate / 1000);
    const int64_t columns = std::min(2 * reach, SnapColumns);
    const double perColumn = double(2 * reach) / double(columns);
    const double first = double(frame - reach);
    std::vector<PeakRange> peaks;
    source_->Columns(-1, first, perColumn, int(columns), peaks);
    const int quietest = QuietestColumn(peaks);
    if (quietest < 0)
        return frame;
    const int64_t to = int64_t(std::llround(first + (quietest + 0.5) * perColumn));
    return std::clamp<int64_t>(to, 1, std::max<int64_t>(1, info_.totalFrames - 1));
}

void TWaveformEditorForm::BtnAddClick()
{
    const int index = model_->AddPoint(snapped(W.View->CursorFrame()));
    if (index < 0) {
        W.StatusText->setText("A split point needs a cursor inside the file and away from the other points.");
        return;
    }
    selectPoint(index);
}

void TWaveformEditorForm::BtnRemoveClick()
{
    const int index = W.View->SelectedPoint();
    if (!model_->RemovePoint(index))
        return;
    W.View->SetSelectedPoint(-1);
    selectPart(index);
}

void TWaveformEditorForm::NudgeKey(int direction, Qt::KeyboardModifiers modifiers)
{
    const int index = W.View->SelectedPoint();
    if (index < 0)
        return;
    int64_t step = std::max(1, info_.sampleRate / 100);
    if (modifiers & Qt::ShiftModifier)
        step = 1;
    else if (modifiers & Qt::ControlModifier)
        step = info_.sampleRate;
    model_->MovePoint(index, model_->Points()[size_t(index)] + direction * step);
    refresh();
}

void TWaveformEditorForm::BtnMoveToClick()
{
    const int index = W.View->SelectedPoint();
    if (index < 0)
        return;
    const std::optional<int64_t> frame = ParseClock(W.EdTime->text(), info_.sampleRate);
    if (!frame) {
        W.StatusText->setText(QString("\"%1\" is not a time; type h:mm:ss.mmm.").arg(W.EdTime->text()));
        return;
    }
    model_->MovePoint(index, *frame);
    refresh();
}

void TWaveformEditorForm::ViewPointPressed(int index)
{
    selectPoint(index);
}

void TWaveformEditorForm::ViewPointDropped(int index, qint64 frame)
{
    model_->MovePoint(index, snapped(frame));
    selectPoint(index);
}

void TWaveformEditorForm::ViewCursorPlaced(qint64 frame)
{
    W.View->SetCursorFrame(frame);
    W.View->SetSelectedPoint(-1);
    selectPart(model_->PartAt(frame));
}

void TWaveformEditorForm::BtnZoomInClick()
{
    W.View->ZoomAtCursor(ButtonZoom);
}

void TWaveformEditorForm::BtnZoomOutClick()
{
    W.View->ZoomAtCursor(1 / ButtonZoom);
}

void TWaveformEditorForm::BtnFitClick()
{
    W.View->Fit();
}

void TWaveformEditorForm::BtnZoomPartClick()
{
    W.View->ShowRange(model_->PartStart(selectedPart_), model_->PartEnd(selectedPart_));
}

void TWaveformEditorForm::OverviewCentreRequested(double frame)
{
    W.View->ScrollTo(frame - W.View->Axis().VisibleFrames() / 2);
}

void TWaveformEditorForm::play(int64_t from, int64_t to)
{
    if (!player_->Play(info_.path, from, to))
        W.StatusText->setText("The file cannot be played.");
    else
        W.BtnPlay->setText("Pause");
}

void TWaveformEditorForm::BtnPlayClick()
{
    if (player_->Playing()) {
        // Paused where it was heard, so the next play goes on from there.
        const int64_t heard = player_->Position();
        player_->Stop();
        W.View->SetCursorFrame(heard);
        refresh();
        return;
    }
    play(W.View->CursorFrame(), -1);
}

void TWaveformEditorForm::BtnPlayCutClick()
{
    const int index = W.View->SelectedPoint();
    if (index < 0)
        return;
    const int64_t at = model_->Points()[size_t(index)];
    const auto frames = [this](double seconds) { return int64_t(std::llround(seconds * info_.sampleRate)); };
    play(std::max<int64_t>(0, at - frames(W.SpinBefore->value())), at + frames(W.SpinAfter->value()));
}

void TWaveformEditorForm::BtnPlayPartClick()
{
    play(model_->PartStart(selectedPart_), model_->PartEnd(selectedPart_));
}

void TWaveformEditorForm::BtnUndoClick()
{
    model_->Undo();
    refresh();
}

void TWaveformEditorForm::BtnRedoClick()
{
    model_->Redo();
    refresh();
}

void TWaveformEditorForm::PartListItemChanged(QTreeWidgetItem *item, int column)
{
    const int part = W.PartList->indexOfTopLevelItem(item);
    if (column == waveform_editor::ColumnPart)
        model_->SetChecked(part, item->checkState(column) == Qt::Checked);
    else if (column == waveform_editor::ColumnName) {
        const QString typed = item->text(column).trimmed();
        if (!SplitPointEditor::IsSafeFileName(typed))
            Platform().InformationBox(SplitPointEditor::UnsafeNameMessage);
        else
            model_->Rename(part, typed);
    }
    // Deferred: the list is still inside the signal of the item being replaced.
    QTimer::singleShot(0, this, [this] { refresh(); });
}

void TWaveformEditorForm::PartListSelectionChanged()
{
    const QList<QTreeWidgetItem *> chosen = W.PartList->selectedItems();
    if (!chosen.isEmpty())
        selectPart(W.PartList->indexOfTopLevelItem(chosen.first()));
}

void TWaveformEditorForm::pollSource()
{
    const WaveformSource::Status status = source_->Poll();
    W.View->update();
    W.Overview->update();
    if (!status.error.isEmpty())
        W.StatusText->setText("No waveform: " + status.error);
    if (status.finished && !source_->SamplesPending())
        poll_.stop();
}

void TWaveformEditorForm::playerPosition(qint64 frame)
{
    W.View->SetPlayFrame(frame);
}

void TWaveformEditorForm::playerStopped()
{
    W.View->SetPlayFrame(-1);
    W.BtnPlay->setText("Play");
}

QString TWaveformEditorForm::suggestedPath(const QString &extension) const
{
    const QFileInfo source(info_.path);
    return source.dir().filePath(source.completeBaseName() + "." + extension);
}

void TWaveformEditorForm::BtnImportLabelsClick()
{
    const QStringList chosen =
        Platform().OpenFiles("Import an Audacity label file", "Label files (*.txt);;All files (*)", false);
    if (chosen.isEmpty())
        return;
    SplitPlan next = EditedPlan();
    try {
        ApplyLabels(next, ReadLabelFile(chosen.first()), chosen.first(), info_.totalFrames, info_.sampleRate,
                    extension_);
    } catch (const LabelFileError &e) {
        Platform().InformationBox(e.text());
        return;
    }
    model_->Replace(next);
    W.View->SetSelectedPoint(-1);
    selectPart(0);
}

void TWaveformEditorForm::BtnExportLabelsClick()
{
    const QString path =
        Platform().SaveFile("Export an Audacity label file", "Label files (*.txt);;All files (*)", suggestedPath("txt"));
    if (path.isEmpty())
        return;
    try {
        WriteLabelFile(path, PlanToLabels(EditedPlan(), info_.sampleRate));
    } catch (const LabelFileError &e) {
        Platform().ErrorBox(ErrorBoxText(e.text()));
    }
}

void TWaveformEditorForm::BtnExportCueClick()
{
    std::vector<int32_t> offCdFrame;
    const QString sheet = PlanToCueSheet(EditedPlan(), info_.sampleRate, &offCdFrame);
    if (!offCdFrame.empty()) {
        QStringList parts;
        for (int32_t k : offCdFrame)
            parts << QString::number(k);
        if (!Platform().QuestionBox(QString("Part %1 does not start on a CD frame (1/75 s); the CUE sheet "
                                            "moves it to the nearest one.\nExport the CUE sheet anyway?")
                                        .arg(parts.join(", "))))
            return;
    }
    const QString path = Platform().SaveFile("Export a CUE sheet", "CUE sheets (*.cue);;All files (*)", suggestedPath("cue"));
    if (path.isEmpty())
        return;
    QSaveFile out(path);
    const QByteArray bytes = sheet.toUtf8();
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit())
        Platform().ErrorBox(ErrorBoxText(QString("Cannot write %1: %2").arg(QDir::toNativeSeparators(path), out.errorString())));
}

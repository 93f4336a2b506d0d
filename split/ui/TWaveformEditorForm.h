#pragma once
#include "split/SplitPlan.h"
#include "split/ui/WaveformEditorWidgets.h"

#include <QDialog>
#include <QString>
#include <QTimer>
#include <cstdint>
#include <memory>

class QTreeWidgetItem;
class WaveformEditorModel;
class WaveformEditorPlayer;
class WaveformSource;

// What the editor is told of its source (the wizard has read it already).
struct WaveformEditorSource {
    QString path;
    int64_t totalFrames = 0;
    int sampleRate = 0;
    int channels = 0;
};

// The waveform editor: split points chosen on the waveform of the whole
// source, at any zoom down to single samples. Works on a copy of the plan;
// the caller takes EditedPlan() after OK and nothing after Cancel.
class TWaveformEditorForm : public QDialog {
    Q_OBJECT
public:
    TWaveformEditorForm(QWidget *owner, const SplitPlan &plan, const WaveformEditorSource &source,
                        const QString &extension);
    ~TWaveformEditorForm() override;

    WaveformEditorWidgets W;
    const WaveformEditorModel &Model() const { return *model_; }
    const WaveformSource &Source() const { return *source_; }
    const WaveformEditorPlayer &Player() const { return *player_; }
    // Whether the view is still repainted as the source is read: until the
    // pyramid is finished and no sample read is pending.
    bool Polling() const { return poll_.isActive(); }
    // The plan given, with the edited parts at exact frames.
    SplitPlan EditedPlan() const;
    int SelectedPart() const { return selectedPart_; }

    // Handlers, one per user action.
    void BtnAddClick();
    void BtnRemoveClick();
    void NudgeKey(int direction, Qt::KeyboardModifiers modifiers);
    void BtnMoveToClick();
    void ViewPointPressed(int index);
    void ViewPointDropped(int index, qint64 frame);
    void ViewCursorPlaced(qint64 frame);
    void BtnZoomInClick();
    void BtnZoomOutClick();
    void BtnFitClick();
    void BtnZoomPartClick();
    void OverviewCentreRequested(double frame);
    void BtnPlayClick();
    void BtnPlayCutClick();
    void BtnPlayPartClick();
    void BtnUndoClick();
    void BtnRedoClick();
    void PartListItemChanged(QTreeWidgetItem *item, int column);
    void PartListSelectionChanged();
    void BtnImportLabelsClick();
    void BtnExportLabelsClick();
    void BtnExportCueClick();

    void done(int result) override;

private:
    void connectControls();
    void refresh();
    void selectPart(int part);
    void selectPoint(int index);
    // frame moved to the quietest point nearby when snapping is on.
    int64_t snapped(int64_t frame) const;
    void play(int64_t from, int64_t to);
    void pollSource();
    void playerPosition(qint64 frame);
    void playerStopped();
    QString suggestedPath(const QString &extension) const;

    SplitPlan plan_;
    WaveformEditorSource info_;
    QString extension_;
    std::unique_ptr<WaveformSource> source_;
    std::unique_ptr<WaveformEditorModel> model_;
    std::unique_ptr<WaveformEditorPlayer> player_;
    QTimer poll_;
    int selectedPart_ = 0;
};

#pragma once
#include "split/SilenceDetector.h"
#include "split/SplitPlan.h"

#include <QObject>
#include <functional>

class QAbstractButton;
class QWidget;
class TAudioInformation2;

// "Import CUE..." and "Detect Silences..." of the split-point editor: both
// replace the hand-set parts by parts at exact frames of the source.
class SplitPointImport : public QObject {
    Q_OBJECT
public:
    // info: the loaded source (its length and rate); extension: the output
    // extension now chosen; planReplaced: called after the plan was replaced,
    // to rebuild the list and choose the exact cut.
    SplitPointImport(QWidget *window, SplitPlan &plan, const TAudioInformation2 &info,
                      QAbstractButton *importCue, QAbstractButton *detectSilences,
                      std::function<QString()> extension, std::function<void()> planReplaced);

    // "Waveform Editor...": beforeOpen stops the wizard's preview, so the
    // editor's own player never sounds together with it.
    void AddWaveformEditor(QAbstractButton *button, std::function<void()> beforeOpen);
    // "Import Chapters": parts at the chapters the source itself holds.
    void AddChapterImport(QAbstractButton *button);

    void BitBtnImportCueClick();
    void BitBtnDetectSilencesClick();
    void BitBtnWaveformEditorClick();
    void BitBtnImportChaptersClick();

private:
    QWidget *window_;
    SplitPlan &plan_;
    const TAudioInformation2 &info_;
    std::function<QString()> extension_;
    std::function<void()> planReplaced_;
    std::function<void()> beforeEditor_;
    SilenceSettings silence_; // the dialog's last answers, for the next time
};

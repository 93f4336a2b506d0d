#pragma once

class QCheckBox;
class QDialog;
class QDialogButtonBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTreeWidget;
class QWidget;
class TWaveformEditorView;
class TWaveformOverview;

// The waveform editor's controls; TWaveformEditorForm gives them behaviour.
struct WaveformEditorWidgets {
    TWaveformEditorView *View = nullptr;
    TWaveformOverview *Overview = nullptr;
    QPushButton *BtnAdd, *BtnRemove;
    QPushButton *BtnZoomIn, *BtnZoomOut, *BtnFit, *BtnZoomPart;
    QPushButton *BtnPlay, *BtnPlayCut, *BtnPlayPart;
    QPushButton *BtnUndo, *BtnRedo;
    QLineEdit *EdTime;          // the selected line's time, typed to move it
    QPushButton *BtnMoveTo;
    QCheckBox *CheckSnap;
    QSpinBox *SpinSnapMs;
    QDoubleSpinBox *SpinBefore, *SpinAfter; // "play across the cut", seconds
    QTreeWidget *PartList;
    QPushButton *BtnImportLabels, *BtnExportLabels, *BtnExportCue;
    QLabel *StatusText;
    QDialogButtonBox *Buttons;
};

namespace waveform_editor {

// Part list columns.
enum PartColumn { ColumnPart = 0, ColumnStart = 1, ColumnLength = 2, ColumnName = 3 };

// Creates the controls in dialog, around the view and overview already made.
void BuildWidgets(QDialog &dialog, WaveformEditorWidgets &w);

} // namespace waveform_editor

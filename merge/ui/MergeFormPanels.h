#pragma once

class QWidget;
class TMergeForm;

// The merge/convert window's panels, each built into the window's own
// members (the objectNames are the members' names) and laid out in place.
// They connect nothing: the window wires its handlers once all are built.
// Called in this order, which is also the order Tab walks the controls.
namespace merge_form {

void BuildToolBar(TMergeForm &form);
// The source list, taking drops through the window's event filter.
void BuildSourceList(TMergeForm &form);
void BuildPopupMenu(TMergeForm &form);
// The preview's transport buttons and position slider, no time display;
// returns the strip that holds them.
QWidget *BuildPreviewStrip(TMergeForm &form);
// The page control (PageControl1) that shows one of the two pages below.
void BuildPageControl(TMergeForm &form);
// The merge page (TabSheet1): file name, folder, format, tag, gauge, Merge and Cancel.
void BuildMergePage(TMergeForm &form);
// Keeps "Copy the audio without re-encoding" enabled only while the list and
// the format allow the copy, its tooltip saying why not; remembers its state.
void WatchLosslessCheck(TMergeForm &form);
// The convert page (TabSheet2): folder, format, tag copying, gauge, Convert and Cancel.
void BuildConvertPage(TMergeForm &form);
void BuildStatusBar(TMergeForm &form);
// Stacks the panels in the window and gives it its first size.
void LayOutWindow(TMergeForm &form, QWidget *previewStrip);

} // namespace merge_form

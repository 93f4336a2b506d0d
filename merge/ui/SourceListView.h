#pragma once
#include <QStringList>

class QMimeData;
class QTreeWidget;
class MergeSourceList;

// The merge/convert window's list of sources as the user sees it: rows
// counted from 1 like the source list's, the runs' progress in the Status column.
namespace merge_form {

constexpr int kStatusColumn = 6;

// The column of the chapter titles, shown while "Chapter marks" is ticked.
inline constexpr int kChapterColumn = 7;

// One row per source, the whole path and folder in the tool tips.
void FillSourceList(QTreeWidget &list, const MergeSourceList &sources);
// Shows facts read since the rows were filled (format, length, size, chapter
// title), leaving the selection, the Status column and an edit alone; fills
// the list again when it no longer has the sources' rows.
void UpdateSourceFacts(QTreeWidget &list, const MergeSourceList &sources);
// The selected row, 0 without a selection.
int SelectedRow(const QTreeWidget &list);
// Selects and makes current a row; no row, no change.
void SelectRow(QTreeWidget &list, int row);
// The dropped files the open dialog would offer, as native paths: a folder
// or a text file dropped along is passed over.
QStringList ReadableDroppedFiles(const QMimeData &dropped);

} // namespace merge_form

// The chapter marks of the merge page: the box and the titles in the list.
#include "merge/ui/SourceListView.h"
#include "merge/ui/TMergeForm.h"

#include <QCheckBox>
#include <QTreeWidget>

void TMergeForm::CheckChaptersClick()
{
    ListView1->setColumnHidden(merge_form::kChapterColumn, !CheckChapters->isChecked());
}

void TMergeForm::EditChapterTitle(QTreeWidgetItem *item)
{
    if (Running() || !item || !CheckChapters->isChecked())
        return;
    ListView1->editItem(item, merge_form::kChapterColumn);
}

void TMergeForm::ChapterTitleEdited(QTreeWidgetItem *item, int column)
{
    if (column != merge_form::kChapterColumn)
        return;
    const int row = ListView1->indexOfTopLevelItem(item) + 1;
    SourceFileList.SetChapterTitle(row, item->text(column));
    const QString shown = SourceFileList.Entries().value(row - 1).chapterTitle;
    if (item->text(column) != shown)
        item->setText(column, shown);
}

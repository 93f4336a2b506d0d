#include "merge/ui/SourceListView.h"

#include "base/InputFormats.h"
#include "merge/SourceList.h"

#include <QDir>
#include <QMimeData>
#include <QTreeWidget>
#include <QUrl>

namespace merge_form {

void FillSourceList(QTreeWidget &list, const MergeSourceList &sources)
{
    list.clear();
    for (const SourceFileEntry &e : sources.Entries()) {
        auto *item = new QTreeWidgetItem(
            QStringList{e.number, e.fileName, e.format, e.length, e.sizeKb, e.directory, e.status, e.chapterTitle});
        // Only the chapter title is edited, and only when asked for (EditChapterTitle).
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setToolTip(1, sources.Path(list.topLevelItemCount() + 1));
        item->setToolTip(2, e.format);
        item->setToolTip(5, e.directory);
        list.addTopLevelItem(item);
    }
}

int SelectedRow(const QTreeWidget &list)
{
    const QList<QTreeWidgetItem *> selected = list.selectedItems();
    return selected.isEmpty() ? 0 : list.indexOfTopLevelItem(selected.first()) + 1;
}

void SelectRow(QTreeWidget &list, int row)
{
    QTreeWidgetItem *item = list.topLevelItem(row - 1);
    if (!item)
        return;
    list.setCurrentItem(item);
    item->setSelected(true);
}

QStringList ReadableDroppedFiles(const QMimeData &dropped)
{
    QStringList paths;
    for (const QUrl &url : dropped.urls())
        if (url.isLocalFile() && input_formats::IsReadable(url.toLocalFile()))
            paths << QDir::toNativeSeparators(url.toLocalFile());
    return paths;
}

} // namespace merge_form

#include "merge/ui/SourceListView.h"

#include "base/InputFormats.h"
#include "merge/SourceList.h"

#include <QDir>
#include <QMimeData>
#include <QSignalBlocker>
#include <QTreeWidget>
#include <QUrl>

namespace merge_form {

void FillSourceList(QTreeWidget &list, const MergeSourceList &sources)
{
    list.clear();
    // Added at once: one by one, each insertion costs the view a layout,
    // which a folder of thousands of files makes seconds.
    QList<QTreeWidgetItem *> items;
    items.reserve(sources.Entries().size());
    for (const SourceFileEntry &e : sources.Entries()) {
        auto *item = new QTreeWidgetItem(
            QStringList{e.number, e.fileName, e.format, e.length, e.sizeKb, e.directory, e.status, e.chapterTitle});
        // Only the chapter title is edited, and only when asked for (EditChapterTitle).
        item->setFlags(item->flags() | Qt::ItemIsEditable);
        item->setToolTip(1, sources.Path(int(items.size()) + 1));
        item->setToolTip(2, e.format);
        item->setToolTip(5, e.directory);
        items << item;
    }
    list.addTopLevelItems(items);
}

void UpdateSourceFacts(QTreeWidget &list, const MergeSourceList &sources)
{
    if (list.topLevelItemCount() != sources.Entries().size()) {
        FillSourceList(list, sources);
        return;
    }
    const QSignalBlocker quiet(list); // not an edit of a chapter title
    for (int i = 0; i < list.topLevelItemCount(); ++i) {
        QTreeWidgetItem *item = list.topLevelItem(i);
        const SourceFileEntry &e = sources.Entries()[i];
        const std::pair<int, const QString *> columns[] = {{2, &e.format}, {3, &e.length}, {4, &e.sizeKb}, {kChapterColumn, &e.chapterTitle}};
        for (const auto &c : columns)
            if (item->text(c.first) != *c.second)
                item->setText(c.first, *c.second);
        item->setToolTip(2, e.format);
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

#pragma once
#include <QHash>
#include <QString>
#include <QStringList>

// Sources given as files and folders (a command line, a drop, "Add Folder..."):
// a folder stands for the readable files in it (base/InputFormats), in name
// order, and with `recursive` for those of its subfolders too, each folder's
// files before its subfolders'. Paths come out absolute.
struct FolderSources {
    QStringList files;
    // The folder each file was found in when it came from a folder, for
    // keeping the folder structure; files given by themselves are absent.
    QHash<QString, QString> baseFolders;
};

FolderSources ExpandSources(const QStringList &paths, bool recursive);

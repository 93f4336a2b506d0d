#pragma once
#include <QString>
#include <QStringList>

// The files the reader opens, as the open dialogs offer them and drops are
// accepted: one family per dialog entry, in the dialogs' order.
namespace input_formats {

// Every readable extension, lower case, without the dot.
QStringList Extensions();
// Whether the file's name ends in a readable extension (any case).
bool IsReadable(const QString &fileName);
// An open dialog's filter: the first entry "All supported files(...)" with
// every readable extension, then one entry per family. withMpplus: the split
// wizard lists Musepack files as an entry of their own.
QString DialogFilter(bool withMpplus);

} // namespace input_formats

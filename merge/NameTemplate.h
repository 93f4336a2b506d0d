#pragma once
#include <QMap>
#include <QString>

// Output names made of a source's tags: "{artist}/{album}/{track:02} - {title}".
// Fields: artist, albumartist, album, title, track, disc, year, genre,
// filename (the source's name without its extension); "{track:02}" pads a
// number with zeros to two digits. "/" in the template makes folders; "/" in
// a tag's text does not.

// The fields of one source, by the names above; a field the source lacks is
// absent. Reads the file's tags (TAudioInformation2); a file whose tags
// cannot be read gives the file name alone.
QMap<QString, QString> TagFieldsOf(const QString &source);

// The relative path (without extension) `pattern` gives for `fields`. When a
// field the pattern uses is missing or empty, or names no field, the whole
// name is the file name instead, so that untagged files keep their own
// names. Every folder and file name is made safe (SafeComponent), so the
// result never leads out of the folder it is put in.
QString NameFromTemplate(const QString &pattern, const QMap<QString, QString> &fields);

// One folder or file name that every file system takes: characters Windows
// refuses (< > : " / \ | ? *) and control characters become "_", leading dots
// and trailing dots and spaces go ("..": "_"), and an empty result is "_".
QString SafeComponent(const QString &name);
// A relative path with each of its parts made safe, joined by "/".
QString SafeRelativePath(const QString &path);

// What is wrong with `pattern` (an unknown field, an unclosed brace), or
// empty when it is usable.
QString TemplateProblem(const QString &pattern);

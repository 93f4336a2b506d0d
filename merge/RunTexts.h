#pragma once
#include <QString>
#include <QStringList>

// "Cannot open X: reason", or the reason alone when it already names X: the
// components' own messages name the file, and a message naming it twice reads
// like two failures.
QString FailureText(const QString &action, const QString &path, const QString &reason);

// The line a run adds to its end message for a source its reader could only
// partly decode: "Warning: X: 0.2 s could not be decoded (at 0:05)". Empty
// when nothing was damaged.
QString DamageLine(const QString &path, const QString &damage);

// The end message followed by one line per warning; the message alone when
// there are none, so an undamaged run reads exactly as it always has.
QString WithWarnings(const QString &message, const QStringList &warnings);

#pragma once
// Helpers for the libFuzzer targets: the components under test read files by
// path, so each input is written to a file of this process's own first.
#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace fuzz {

// A path in the temporary folder unique to this process (several fuzzers may
// run side by side), ending in `.extension`.
inline QString TempPath(const char *name, const char *extension)
{
    const char *dir = std::getenv("TMPDIR");
    return QStringLiteral("%1/quorvis-fuzz-%2-%3.%4")
        .arg(QString::fromLocal8Bit(dir && *dir ? dir : "/tmp"))
        .arg(qint64(getpid()))
        .arg(QString::fromLatin1(name), QString::fromLatin1(extension));
}

// Writes the bytes to `path`, replacing what was there. Aborts when it cannot:
// a fuzzer that silently tests nothing is worse than one that stops.
inline void WriteFile(const QString &path, const uint8_t *data, size_t size)
{
    const QByteArray name = path.toLocal8Bit();
    FILE *f = std::fopen(name.constData(), "wb");
    if (!f || (size > 0 && std::fwrite(data, 1, size, f) != size) || std::fclose(f) != 0) {
        std::perror(name.constData());
        std::abort();
    }
}

// The extensions the file-opening targets try. The first byte of an input
// picks one (TagLib chooses the file type by the extension), the rest is the
// file; the seed corpus is made with the matching first byte.
inline const char *const kExtensions[] = {"mp3", "wav", "ogg", "wma", "flac", "mpc", "opus", "m4a", "bin"};
constexpr size_t kExtensionCount = sizeof(kExtensions) / sizeof(kExtensions[0]);

} // namespace fuzz

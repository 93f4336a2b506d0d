// The setup.ini reader (and its rewrite) on arbitrary text: lookups of the
// program's own names and of the first section and key the text holds.
#include "config/IniFile.h"
#include "tests/fuzz/FuzzInput.h"

#include <algorithm>
#include <stdexcept>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QString path = fuzz::TempPath("ini", "ini");
    fuzz::WriteFile(path, data, size);
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // Names taken from the input, so the fuzzer can reach matching sections.
    QString section = QStringLiteral("General"), key = QStringLiteral("mp3_bitrate");
    const qsizetype open = bytes.indexOf('['), close = bytes.indexOf(']', open + 1);
    if (open >= 0 && close > open)
        section = QString::fromUtf8(bytes.mid(open + 1, close - open - 1));
    const qsizetype eq = bytes.indexOf('=', std::max<qsizetype>(close, 0));
    if (eq > 0) {
        const qsizetype lineStart = bytes.lastIndexOf('\n', eq - 1) + 1;
        key = QString::fromUtf8(bytes.mid(lineStart, eq - lineStart));
    }

    (void)ReadIniString(path, section, key, QStringLiteral("default"));
    (void)ReadIniInt(path, section, key, -7);
    (void)ReadIniInt(path, QStringLiteral("Setup"), QStringLiteral("wav_bps"), 16);
    int value = 0;
    (void)ParseIniInt(QString::fromUtf8(bytes), value);
    try {
        IniBatchWriter writer(path);
        writer.Set(section, key, QStringLiteral("1\r\n2"));
        writer.Set(QStringLiteral("New"), QStringLiteral("k"), 42);
        writer.Commit();
        if (ReadIniInt(path, QStringLiteral("New"), QStringLiteral("k"), 0) != 42)
            std::abort(); // a written key must read back
    } catch (const std::runtime_error &) {
    }
    return 0;
}

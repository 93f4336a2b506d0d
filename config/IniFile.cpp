#include "config/IniFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdint>
#include <limits>
#include <optional>
#include <stdexcept>

namespace {

QByteArray NativeEol()
{
#ifdef Q_OS_WIN
    return "\r\n";
#else
    return "\n";
#endif
}

// The file is handled as raw lines so that every line we do not change is
// written back byte for byte (comments, other sections, odd encodings).
struct IniText {
    QByteArray bom; // a UTF-8 byte-order mark the file started with, or empty
    QList<QByteArray> lines; // without line terminators
    QByteArray eol = NativeEol(); // terminator of every line we write
};

// Editors on Windows like to start a UTF-8 file with a byte-order mark; left
// in the first line it would hide the first section's header.
const QByteArray kUtf8Bom("\xEF\xBB\xBF");

IniText SplitLines(QByteArray data)
{
    IniText text;
    if (data.startsWith(kUtf8Bom)) {
        text.bom = kUtf8Bom;
        data.remove(0, kUtf8Bom.size());
    }
    text.eol = data.contains("\r\n") ? QByteArray("\r\n") : data.contains('\n') ? QByteArray("\n") : NativeEol();
    if (data.isEmpty())
        return text;
    text.lines = data.split('\n');
    if (data.endsWith('\n'))
        text.lines.removeLast(); // the empty piece after the final terminator
    for (QByteArray &line : text.lines)
        if (line.endsWith('\r'))
            line.chop(1);
    return text;
}

QString Decode(const QByteArray &bytes) { return QString::fromUtf8(bytes).trimmed(); }

// "[name]" -> name; nullopt for any other line.
std::optional<QString> SectionName(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    if (!t.startsWith('['))
        return std::nullopt;
    const qsizetype close = t.indexOf(']');
    if (close < 0)
        return std::nullopt;
    return Decode(t.mid(1, close - 1));
}

bool IsComment(const QByteArray &line)
{
    const QByteArray t = line.trimmed();
    return t.startsWith(';') || t.startsWith('#');
}

// "key=value" -> key; nullopt for lines without "=" and for comments.
std::optional<QString> KeyName(const QByteArray &line)
{
    if (IsComment(line))
        return std::nullopt;
    const qsizetype eq = line.indexOf('=');
    if (eq < 0)
        return std::nullopt;
    return Decode(line.left(eq));
}

bool SameName(const QString &a, const QString &b) { return a.compare(b, Qt::CaseInsensitive) == 0; }

// Index of the first line of the section's header, or -1.
qsizetype FindSection(const IniText &text, const QString &section)
{
    for (qsizetype i = 0; i < text.lines.size(); ++i) {
        const auto name = SectionName(text.lines[i]);
        if (name && SameName(*name, section))
            return i;
    }
    return -1;
}

// One past the section's last line: the next header or the end of the file.
qsizetype SectionEnd(const IniText &text, qsizetype header)
{
    qsizetype i = header + 1;
    while (i < text.lines.size() && !SectionName(text.lines[i]))
        ++i;
    return i;
}

qsizetype FindKey(const IniText &text, qsizetype header, const QString &key)
{
    const qsizetype end = SectionEnd(text, header);
    for (qsizetype i = header + 1; i < end; ++i) {
        const auto name = KeyName(text.lines[i]);
        if (name && SameName(*name, key))
            return i;
    }
    return -1;
}

QString Unquote(QString value)
{
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.mid(1, value.size() - 2);
    return value;
}

std::optional<QString> LookUp(const IniText &text, const QString &section, const QString &key)
{
    const qsizetype header = FindSection(text, section);
    if (header < 0)
        return std::nullopt;
    const qsizetype line = FindKey(text, header, key);
    if (line < 0)
        return std::nullopt;
    const QByteArray &raw = text.lines[line];
    return Unquote(Decode(raw.mid(raw.indexOf('=') + 1))).left(IniMaxValueLength);
}

// A missing or unreadable file reads as empty: every key then gets its default.
IniText ReadForLookup(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return SplitLines(file.readAll());
}

[[noreturn]] void ThrowUnableToWrite(const QString &path)
{
    throw std::runtime_error(QStringLiteral("Unable to write to %1").arg(path).toStdString());
}

// Keys and values are single lines; a line break in a value would split it
// into a second, unintended key.
QByteArray OneLine(const QString &s)
{
    QString t = s;
    t.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    return t.toUtf8();
}

void Apply(IniText &text, const QString &section, const QString &key, const QString &value)
{
    qsizetype header = FindSection(text, section);
    if (header < 0) {
        text.lines.append('[' + OneLine(section) + ']');
        text.lines.append(OneLine(key) + '=' + OneLine(value));
        return;
    }
    const qsizetype line = FindKey(text, header, key);
    if (line >= 0) {
        // Keep the key as spelled in the file; only the value changes.
        QByteArray &raw = text.lines[line];
        raw = raw.left(raw.indexOf('=') + 1) + OneLine(value);
        return;
    }
    // After the section's last non-blank line, so that blank lines separating
    // it from the next section stay where they are.
    qsizetype at = SectionEnd(text, header);
    while (at > header + 1 && text.lines[at - 1].trimmed().isEmpty())
        --at;
    text.lines.insert(at, OneLine(key) + '=' + OneLine(value));
}

} // namespace

bool ParseIniInt(const QString &input, int &value)
{
    QString t = input.trimmed();
    bool negative = false;
    if (t.startsWith('-') || t.startsWith('+')) {
        negative = t.startsWith('-');
        t.remove(0, 1);
    }
    int base = 10;
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        t.remove(0, 2);
    } else if (t.startsWith('$')) {
        base = 16;
        t.remove(0, 1);
    }
    if (t.isEmpty())
        return false;
    int64_t magnitude = 0;
    for (const QChar c : t) {
        const int digit = c.isDigit() ? c.digitValue()
            : (base == 16 && c.toLower() >= 'a' && c.toLower() <= 'f') ? c.toLower().unicode() - 'a' + 10
                                                                         : -1;
        if (digit < 0 || digit >= base || c.unicode() > 127)
            return false;
        magnitude = magnitude * base + digit;
        if (magnitude > std::numeric_limits<uint32_t>::max())
            return false;
    }
    if (base == 10) {
        // Decimal must fit a signed 32-bit integer.
        if (magnitude > (negative ? int64_t(1) << 31 : std::numeric_limits<int32_t>::max()))
            return false;
        value = static_cast<int>(negative ? -magnitude : magnitude);
        return true;
    }
    // Hexadecimal gives the 32-bit pattern: $FFFFFFFF is -1.
    const auto bits = static_cast<uint32_t>(magnitude);
    value = static_cast<int32_t>(negative ? 0u - bits : bits);
    return true;
}

int ReadIniInt(const QString &path, const QString &section, const QString &key, int def)
{
    const auto text = LookUp(ReadForLookup(path), section, key);
    int value = 0;
    return text && ParseIniInt(*text, value) ? value : def;
}

QString ReadIniString(const QString &path, const QString &section, const QString &key, const QString &def)
{
    return LookUp(ReadForLookup(path), section, key).value_or(def.left(IniMaxValueLength));
}

void WriteIniInt(const QString &path, const QString &section, const QString &key, int value)
{
    IniBatchWriter writer(path);
    writer.Set(section, key, value);
    writer.Commit();
}

void WriteIniString(const QString &path, const QString &section, const QString &key, const QString &value)
{
    IniBatchWriter writer(path);
    writer.Set(section, key, value);
    writer.Commit();
}

IniBatchWriter::IniBatchWriter(QString path) : path_(std::move(path)) {}

void IniBatchWriter::Set(const QString &section, const QString &key, const QString &value)
{
    entries_.push_back({section, key, value});
}

void IniBatchWriter::Set(const QString &section, const QString &key, int value)
{
    Set(section, key, QString::number(value));
}

void IniBatchWriter::Commit()
{
    IniText text;
    const QFileInfo info(path_);
    if (info.exists()) {
        // A file we cannot read must not be replaced by one holding only our
        // keys, and a read-only file stays read-only even though its folder
        // would let us rename over it.
        QFile existing(path_);
        if (!info.isWritable() || !existing.open(QIODevice::ReadOnly))
            ThrowUnableToWrite(path_);
        text = SplitLines(existing.readAll());
        if (existing.error() != QFileDevice::NoError)
            ThrowUnableToWrite(path_);
    }
    for (const Entry &e : entries_)
        Apply(text, e.section, e.key, e.value);

    // Every line gets a terminator, so a file that lacked a final one never
    // has a new key run into its last line.
    QByteArray data = text.bom;
    for (const QByteArray &line : text.lines)
        data += line + text.eol;

    // The folder of a settings file in the user's configuration folder may not
    // exist yet; when it cannot be made, the open below reports the failure.
    QDir().mkpath(info.absolutePath());
    QSaveFile out(path_);
    // A file the user may write in a folder they may not (a portable copy on a
    // shared drive) is rewritten in place: the new file cannot be made there.
    out.setDirectWriteFallback(true);
    // The explicit flush matters: QSaveFile::commit() (Qt 6.4) renames the
    // file into place even when its own flush of the buffer failed (disk
    // full), which would replace the settings with a truncated file.
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.flush() || !out.commit())
        ThrowUnableToWrite(path_);
    entries_.clear();
}

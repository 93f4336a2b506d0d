#include "merge/NameTemplate.h"

#include "audio/TAudioInformation2.h"
#include "base/FileNames.h"

#include <QRegularExpression>
#include <QStringList>
#include <exception>

namespace {

const QStringList &FieldNames()
{
    static const QStringList names{"artist", "albumartist", "album", "title", "track",
                                   "disc",   "year",        "genre", "filename"};
    return names;
}

// Long names are cut so that a name with its extension and "New_" prefix
// stays within the 255 bytes most file systems allow.
constexpr int kMaxComponent = 180;

// "3/12" -> "3": a track or disc number as a number alone.
QString NumberPart(const QString &text) { return text.section(QLatin1Char('/'), 0, 0).trimmed(); }

// "{name}" or "{name:0N}".
const QRegularExpression &FieldPattern()
{
    static const QRegularExpression re(QStringLiteral("\\{([a-z]+)(?::0?(\\d+))?\\}"));
    return re;
}

} // namespace

QMap<QString, QString> TagFieldsOf(const QString &source)
{
    QMap<QString, QString> f;
    f["filename"] = WithoutExtension(FileNameOfPath(source));
    TAudioInformation2 info;
    try {
        info.LoadFile(source);
    } catch (const std::exception &) {
        return f;
    }
    const auto put = [&f](const char *name, const QString &value) {
        if (!value.trimmed().isEmpty())
            f[QLatin1String(name)] = value.trimmed();
    };
    put("artist", info.infoArtist());
    put("album", info.infoAlbum());
    put("title", info.infoTitle());
    put("albumartist", info.infoProperty("ALBUMARTIST"));
    put("track", NumberPart(info.infoProperty("TRACKNUMBER")));
    put("disc", NumberPart(info.infoProperty("DISCNUMBER")));
    if (info.infoYear() > 0)
        put("year", QString::number(info.infoYear()));
    QString genre = info.infoProperty("GENRE");
    if (genre.isEmpty() && info.infoGenre() != 255)
        genre = info.GenreName(info.infoGenre());
    put("genre", genre);
    return f;
}

QString SafeComponent(const QString &name)
{
    static const QString refused = QStringLiteral("<>:\"/\\|?*");
    QString out;
    for (const QChar c : name)
        out += c.unicode() < 0x20 || c.unicode() == 0x7f || refused.contains(c) ? QChar('_') : c;
    while (out.startsWith(QLatin1Char('.')))
        out.remove(0, 1);
    out = out.left(kMaxComponent);
    while (out.endsWith(QLatin1Char('.')) || out.endsWith(QLatin1Char(' ')))
        out.chop(1);
    out = out.trimmed();
    return out.isEmpty() ? QStringLiteral("_") : out;
}

QString SafeRelativePath(const QString &path)
{
    QStringList parts;
    for (const QString &part : QString(path).replace(QLatin1Char('\\'), QLatin1Char('/')).split(QLatin1Char('/')))
        if (!part.isEmpty())
            parts << SafeComponent(part);
    return parts.join(QLatin1Char('/'));
}

QString TemplateProblem(const QString &pattern)
{
    QString rest = pattern;
    QRegularExpressionMatchIterator it = FieldPattern().globalMatch(pattern);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        if (!FieldNames().contains(m.captured(1)))
            return QStringLiteral("unknown field {%1} (known: %2)").arg(m.captured(1), FieldNames().join(", "));
    }
    rest.remove(FieldPattern());
    if (rest.contains(QLatin1Char('{')) || rest.contains(QLatin1Char('}')))
        return QStringLiteral("a brace that opens no field: use {name} or {name:02}");
    return {};
}

QString NameFromTemplate(const QString &pattern, const QMap<QString, QString> &fields)
{
    const QString fileName = SafeComponent(fields.value("filename"));
    if (!TemplateProblem(pattern).isEmpty())
        return fileName;
    // Split first, so that a "/" in a tag's text stays in its name.
    QStringList parts;
    for (const QString &part : pattern.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        QString text;
        qsizetype at = 0;
        QRegularExpressionMatchIterator it = FieldPattern().globalMatch(part);
        while (it.hasNext()) {
            const QRegularExpressionMatch m = it.next();
            text += part.mid(at, m.capturedStart() - at);
            QString value = fields.value(m.captured(1));
            if (value.isEmpty())
                return fileName;
            if (!m.captured(2).isEmpty())
                value = value.rightJustified(m.captured(2).toInt(), QLatin1Char('0'));
            text += value;
            at = m.capturedEnd();
        }
        text += part.mid(at);
        parts << SafeComponent(text);
    }
    return parts.isEmpty() ? fileName : parts.join(QLatin1Char('/'));
}

#include "split/CueSheet.h"
#include "split/ListedParts.h"
#include "split/SplitPointEditor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include <libcue.h>

#include <algorithm>
#include <memory>

namespace {

// Windows-1252 at 0x80..0x9F; 0 where the code page leaves a byte undefined
// (those keep their Latin-1 meaning).
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

struct CdDeleter {
    void operator()(Cd *cd) const { cd_delete(cd); }
};

QString SheetName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

CueSheetError LineError(const QString &path, int32_t line, const QString &what)
{
    return CueSheetError(QStringLiteral("%1, line %2: %3").arg(SheetName(path)).arg(line).arg(what));
}

// Where the sheet's lines are: libcue reports values, not lines.
struct SheetLines {
    struct Track {
        int32_t number = 0;
        int32_t trackLine = 0;
        int32_t indexLine = 0;
    };
    std::vector<Track> tracks;
    std::vector<int32_t> fileLines;
    int32_t lineCount = 0;
};

SheetLines ScanLines(const QString &text)
{
    SheetLines s;
    const QStringList lines = text.split('\n');
    // A sheet's last line ends in a line break like the others.
    s.lineCount = int32_t(lines.size()) - (text.endsWith('\n') ? 1 : 0);
    for (int32_t i = 0; i < int32_t(lines.size()); ++i) {
        const QStringList words = lines[i].simplified().split(' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const QString keyword = words[0].toUpper();
        if (keyword == "FILE") {
            s.fileLines.push_back(i + 1);
        } else if (keyword == "TRACK") {
            s.tracks.push_back({words.size() > 1 ? words[1].toInt() : 0, i + 1, 0});
        } else if (keyword == "INDEX" && words.size() > 1 && words[1].toInt() == 1 && !s.tracks.empty()
                   && s.tracks.back().indexLine == 0) {
            s.tracks.back().indexLine = i + 1;
        }
    }
    return s;
}

bool IsUtf8(const QByteArray &bytes)
{
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString decoded = d.decode(bytes); // the decoder works when its result is taken
    return !d.hasError();
}

} // namespace

QString DecodeCueText(const QByteArray &bytes)
{
    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    if (IsUtf8(data))
        return QString::fromUtf8(data);
    QString wide;
    wide.reserve(data.size());
    for (const char c : data) {
        const auto b = static_cast<unsigned char>(c);
        const char16_t high = b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : 0;
        wide += QChar(high != 0 ? high : char16_t(b));
    }
    return wide;
}

int64_t CueToFrame(int64_t cueFrames, int sampleRate)
{
    return (cueFrames * sampleRate * 2 + 75) / 150;
}

QString SafeFileNamePart(const QString &name)
{
    QString safe;
    for (const QChar c : name)
        safe += SplitPointEditor::IsSafeFileName(QString(c)) ? c : QChar('_');
    while (safe.endsWith('.') || safe.endsWith(' '))
        safe.chop(1);
    return safe;
}

CueSheet ReadCueSheet(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw CueSheetError(QStringLiteral("Cannot open the CUE sheet %1: %2").arg(SheetName(path), file.errorString()));
    // Sheets are a few kilobytes; anything far larger is not one.
    if (file.size() > 1024 * 1024)
        throw CueSheetError(QStringLiteral("%1 is too large to be a CUE sheet").arg(SheetName(path)));
    QByteArray bytes = file.readAll();
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    // The byte strings libcue hands back are decoded the way the whole sheet is.
    const bool utf8 = IsUtf8(bytes);
    // libcue's grammar wants every line ended, the last one too.
    if (!bytes.endsWith('\n'))
        bytes += '\n';
    const auto decode = [utf8](const char *s) {
        if (!s)
            return QString();
        return utf8 ? QString::fromUtf8(s) : DecodeCueText(QByteArray(s));
    };
    const SheetLines lines = ScanLines(DecodeCueText(bytes));

    // libcue refuses a sheet without tracks as it refuses a broken one; the
    // user is told which it is.
    if (lines.tracks.empty())
        throw LineError(path, std::max(lines.lineCount, 1), "the sheet has no tracks");
    if (lines.fileLines.size() > 1)
        throw LineError(path, lines.fileLines[1],
                        "a second FILE entry: only a sheet of one audio file can split that file");
    const std::unique_ptr<Cd, CdDeleter> cd(cue_parse_string(bytes.constData()));
    const int count = cd ? cd_get_ntrack(cd.get()) : 0;
    if (count < 1)
        throw CueSheetError(QStringLiteral("%1 cannot be read as a CUE sheet").arg(SheetName(path)));

    CueSheet sheet;
    sheet.path = path;
    const Cdtext *albumText = cd_get_cdtext(cd.get());
    sheet.title = decode(cdtext_get(PTI_TITLE, albumText));
    sheet.performer = decode(cdtext_get(PTI_PERFORMER, albumText));
    const QString albumGenre = decode(cdtext_get(PTI_GENRE, albumText));
    const QString albumDate = decode(rem_get(REM_DATE, cd_get_rem(cd.get())));
    const bool linesKnown = int(lines.tracks.size()) == count;
    for (int i = 1; i <= count; ++i) {
        const Track *t = cd_get_track(cd.get(), i);
        CueTrack track;
        const SheetLines::Track where = linesKnown ? lines.tracks[size_t(i - 1)] : SheetLines::Track{i, 0, 0};
        track.number = where.number > 0 ? where.number : i;
        track.line = where.indexLine > 0 ? where.indexLine : where.trackLine;
        if (sheet.fileEntry.isEmpty())
            sheet.fileEntry = decode(track_get_filename(t));
        track.index01 = track_get_index(t, 1);
        if (track.index01 < 0)
            throw LineError(path, where.trackLine, QStringLiteral("track %1 has no INDEX 01").arg(track.number));
        if (!sheet.tracks.empty() && track.index01 <= sheet.tracks.back().index01)
            throw LineError(path, track.line,
                            QStringLiteral("track %1 starts at %2, not after track %3 (%4)")
                                .arg(track.number)
                                .arg(CueTime(track.index01), QString::number(sheet.tracks.back().number),
                                     CueTime(sheet.tracks.back().index01)));
        const Cdtext *text = track_get_cdtext(t);
        track.title = decode(cdtext_get(PTI_TITLE, text));
        track.performer = decode(cdtext_get(PTI_PERFORMER, text));
        const QString genre = decode(cdtext_get(PTI_GENRE, text));
        track.genre = genre.isEmpty() ? albumGenre : genre;
        const QString date = decode(rem_get(REM_DATE, track_get_rem(t)));
        track.date = date.isEmpty() ? albumDate : date;
        sheet.tracks.push_back(track);
    }
    return sheet;
}

bool CueNamesSource(const CueSheet &sheet, const QString &sourcePath)
{
    // The entry may carry a folder in either platform's form.
    QString entry = sheet.fileEntry;
    entry.replace('\\', '/');
    return QFileInfo(entry).fileName().compare(QFileInfo(sourcePath).fileName(), Qt::CaseInsensitive) == 0;
}

void ApplyCueSheet(SplitPlan &plan, const CueSheet &sheet, int64_t totalFrames, int sampleRate,
                   const QString &extension)
{
    std::vector<int64_t> starts;
    for (const CueTrack &t : sheet.tracks) {
        const int64_t frame = CueToFrame(t.index01, sampleRate);
        if (frame >= totalFrames)
            throw LineError(sheet.path, t.line,
                            QStringLiteral("track %1 starts at %2, at or past the end of %3 (%4)")
                                .arg(t.number)
                                .arg(CueTime(t.index01), QDir::toNativeSeparators(plan.SourcePath),
                                     CueTime(sampleRate > 0 ? totalFrames * 75 / sampleRate : 0)));
        starts.push_back(frame);
    }
    // Audio before the first track (a hidden track, a pregap) is kept as a
    // part of its own, not written unless the user checks it.
    std::vector<ListedPart> parts;
    const int32_t total = int32_t(sheet.tracks.size());
    for (size_t i = 0; i < sheet.tracks.size(); ++i) {
        const CueTrack &t = sheet.tracks[i];
        ListedPart part;
        part.start = starts[i];
        part.number = t.number;
        const QString performer = t.performer.isEmpty() ? sheet.performer : t.performer;
        part.tip = performer.isEmpty() ? QStringLiteral("No tip") : performer;
        part.tag.title = t.title.isEmpty() ? QStringLiteral("Track %1").arg(t.number) : t.title;
        part.tag.artist = performer;
        part.tag.album = sheet.title;
        part.tag.track = QStringLiteral("%1/%2").arg(t.number).arg(total);
        part.tag.date = t.date;
        part.tag.genre = t.genre;
        parts.push_back(part);
    }
    FillListedParts(plan, parts, sampleRate, extension, QStringLiteral("Pregap"),
                    QStringLiteral("Before the first track"));
}

QString CueTime(int64_t cueFrames)
{
    return QStringLiteral("%1:%2:%3")
        .arg(cueFrames / (75 * 60), 2, 10, QChar('0'))
        .arg(cueFrames / 75 % 60, 2, 10, QChar('0'))
        .arg(cueFrames % 75, 2, 10, QChar('0'));
}

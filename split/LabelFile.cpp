#include "split/LabelFile.h"
#include "base/FileNames.h"
#include "split/CueSheet.h"
#include "split/SplitPointEditor.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <optional>

namespace {

// Label files are a line per label; anything far larger is not one.
constexpr qint64 MaxLabelFileBytes = 16 * 1024 * 1024;

// Longer than any recording; keeps seconds * rate well inside 64 bits.
constexpr double MaxLabelSeconds = 1e9;

QString FileName(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

LabelFileError LineError(const QString &path, int32_t line, const QString &what)
{
    return LabelFileError(QStringLiteral("%1, line %2: %3").arg(FileName(path)).arg(line).arg(what));
}

// Audacity writes '.' but reads a ',' too, which some of its locales wrote.
std::optional<double> ParseSeconds(QString text)
{
    text = text.trimmed().replace(',', '.');
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

int64_t FrameOf(double seconds, int sampleRate)
{
    return std::llround(seconds * sampleRate);
}

// A label's text on one line of the file: a tab would start a new field and
// a line break a new label.
QString OneLine(QString text)
{
    for (QChar &c : text) {
        if (c == '\t' || c == '\n' || c == '\r')
            c = ' ';
    }
    return text;
}

// The CUE FILE type of a source: the kinds the format names, WAVE for every
// other audio file, as rippers and players write and read it.
QString CueFileType(const QString &sourcePath)
{
    const QString ext = QFileInfo(sourcePath).suffix().toLower();
    if (ext == "mp3")
        return QStringLiteral("MP3");
    if (ext == "aif" || ext == "aiff")
        return QStringLiteral("AIFF");
    return QStringLiteral("WAVE");
}

// A CUE text field cannot escape a double quote.
QString CueQuoted(QString text)
{
    return '"' + OneLine(text.replace('"', '\'')) + '"';
}

// A label in frames, clipped to the source.
struct FrameLabel {
    int64_t start = 0;
    int64_t end = 0;
    bool region = false;
    QString text;
};

} // namespace

std::vector<AudioLabel> ReadLabelFile(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw LabelFileError(QStringLiteral("Cannot open the label file %1: %2").arg(FileName(path), file.errorString()));
    if (file.size() > MaxLabelFileBytes)
        throw LabelFileError(QStringLiteral("%1 is too large to be a label file").arg(FileName(path)));
    // Audacity writes UTF-8; a file edited by hand elsewhere may be in the
    // Windows code page, which the CUE reader's rule also covers.
    const QStringList lines = DecodeCueText(file.readAll()).split('\n');

    std::vector<AudioLabel> labels;
    for (int32_t i = 0; i < int32_t(lines.size()); ++i) {
        QString line = lines[i];
        if (line.endsWith('\r'))
            line.chop(1);
        const int32_t number = i + 1;
        if (line.trimmed().isEmpty())
            continue;
        // "\<TAB>low<TAB>high": the frequencies of the spectral label above,
        // which a split has no use for.
        if (line.startsWith('\\')) {
            if (labels.empty())
                throw LineError(path, number, "a frequency line without a label before it");
            continue;
        }
        const QStringList fields = line.split('\t');
        const std::optional<double> start = ParseSeconds(fields[0]);
        if (!start)
            throw LineError(path, number, QStringLiteral("\"%1\" is not a time in seconds").arg(fields[0].trimmed()));
        AudioLabel label;
        label.start = *start;
        label.end = *start;
        // As Audacity reads it: without a second time the label is a point and
        // the second field its text.
        qsizetype textField = 1;
        if (fields.size() > 1) {
            if (const std::optional<double> end = ParseSeconds(fields[1])) {
                label.end = *end;
                textField = 2;
            }
        }
        label.text = fields.mid(textField).join(' ');
        if (label.start < 0)
            throw LineError(path, number, QStringLiteral("the label starts before the recording (%1 s)").arg(label.start));
        if (label.end > MaxLabelSeconds)
            throw LineError(path, number, QStringLiteral("%1 s is later than any recording lasts").arg(label.end));
        if (label.end < label.start)
            throw LineError(path, number, QStringLiteral("the label ends (%1 s) before it starts (%2 s)")
                                              .arg(label.end).arg(label.start));
        labels.push_back(label);
    }
    return labels;
}

void WriteLabelFile(const QString &path, const std::vector<AudioLabel> &labels)
{
    QByteArray text;
    for (const AudioLabel &l : labels)
        text += (QString::number(l.start, 'f', 6) + '\t' + QString::number(l.end, 'f', 6) + '\t' + OneLine(l.text) + '\n')
                    .toUtf8();
    // Beside the target, then renamed: a failed write leaves the old file.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
        throw LabelFileError(QStringLiteral("Cannot write the label file %1: %2").arg(FileName(path), file.errorString()));
}

std::vector<AudioLabel> PlanToLabels(const SplitPlan &plan, int sampleRate)
{
    std::vector<AudioLabel> labels;
    for (int32_t k = 1; k <= plan.PartCount && k < int32_t(plan.TimePoints.size()); ++k) {
        const int64_t start = SplitPointEditor::PointFrameAt(plan, k - 1, sampleRate);
        const int64_t end = SplitPointEditor::PointFrameAt(plan, k, sampleRate);
        const QString name = k < plan.PartNames.size() ? WithoutExtension(plan.PartNames[k]) : QString();
        // Six decimals are a microsecond, under half a frame at any audio
        // rate: the frames come back exactly.
        labels.push_back({sampleRate > 0 ? double(start) / sampleRate : 0.0,
                          sampleRate > 0 ? double(end) / sampleRate : 0.0, name});
    }
    return labels;
}

void ApplyLabels(SplitPlan &plan, const std::vector<AudioLabel> &labels, const QString &path, int64_t totalFrames,
                 int sampleRate, const QString &extension)
{
    std::vector<FrameLabel> framed;
    std::vector<int64_t> points;
    for (const AudioLabel &l : labels) {
        FrameLabel f;
        f.start = std::clamp<int64_t>(FrameOf(l.start, sampleRate), 0, totalFrames);
        f.end = std::clamp<int64_t>(FrameOf(l.end, sampleRate), f.start, totalFrames);
        f.region = f.end > f.start;
        f.text = l.text.trimmed();
        framed.push_back(f);
        for (const int64_t p : {f.start, f.end}) {
            if (p > 0 && p < totalFrames)
                points.push_back(p);
        }
    }
    std::sort(points.begin(), points.end());
    points.erase(std::unique(points.begin(), points.end()), points.end());
    if (points.empty())
        throw LabelFileError(QStringLiteral("%1: no label lies inside %2").arg(FileName(path), FileName(plan.SourcePath)));
    const bool anyRegion = std::any_of(framed.begin(), framed.end(), [](const FrameLabel &f) { return f.region; });

    plan.SetExactPoints(points, sampleRate);
    const QString ext = extension.toLower();
    int32_t gaps = 0;
    for (int32_t k = 1; k <= plan.PartCount; ++k) {
        const int64_t from = k > 1 ? points[size_t(k - 2)] : 0;
        const int64_t to = k <= int32_t(points.size()) ? points[size_t(k - 1)] : totalFrames;
        // A label names the part it starts, as Audacity's export names the
        // file after each label; the rest of a region cut by points takes
        // numbered names, so that no two parts ask for one file.
        QString name;
        bool inRegion = false;
        for (const FrameLabel &f : framed) {
            if (!f.region && f.start == from && !f.text.isEmpty())
                name = f.text;
        }
        for (const FrameLabel &f : framed) {
            if (f.region && f.start <= from && to <= f.end) {
                inRegion = true;
                if (name.isEmpty() && f.start == from)
                    name = f.text;
            }
        }
        const QString safe = SafeFileNamePart(name);
        if (anyRegion && !inRegion && name.isEmpty()) {
            // Between regions the user marked nothing: kept, not written
            // unless checked.
            plan.PartNames[k] = plan.PartBaseName() + QStringLiteral("-gap-%1.").arg(++gaps, 2, 10, QChar('0')) + ext;
            plan.PartTips[k] = QStringLiteral("Not labelled");
            plan.PartSaveFlags[k] = false;
            continue;
        }
        plan.PartNames[k] = safe.isEmpty() ? SplitPointEditor::DefaultPartName(plan, k, ext) : safe + '.' + ext;
        plan.PartTips[k] = QStringLiteral("No tip");
        plan.PartSaveFlags[k] = true;
    }
}

QString PlanToCueSheet(const SplitPlan &plan, int sampleRate, std::vector<int32_t> *offCdFrame)
{
    if (offCdFrame)
        offCdFrame->clear();
    QString sheet = QStringLiteral("FILE %1 %2\r\n")
                        .arg(CueQuoted(QFileInfo(plan.SourcePath).fileName()), CueFileType(plan.SourcePath));
    int64_t previous = -1;
    for (int32_t k = 1; k <= plan.PartCount && k < int32_t(plan.TimePoints.size()); ++k) {
        const int64_t frame = SplitPointEditor::PointFrameAt(plan, k - 1, sampleRate);
        int64_t cue = sampleRate > 0 ? (frame * 150 + sampleRate) / (2 * int64_t(sampleRate)) : 0;
        // Two points within one CD frame would make a sheet no reader takes:
        // the later track starts a CD frame later.
        cue = std::max(cue, previous + 1);
        previous = cue;
        if (offCdFrame && CueToFrame(cue, sampleRate) != frame)
            offCdFrame->push_back(k);
        const QString title = k < plan.PartNames.size() ? WithoutExtension(plan.PartNames[k]) : QString();
        sheet += QStringLiteral("  TRACK %1 AUDIO\r\n").arg(k, 2, 10, QChar('0'));
        sheet += QStringLiteral("    TITLE %1\r\n").arg(CueQuoted(title));
        sheet += QStringLiteral("    INDEX 01 %1\r\n").arg(CueTime(cue));
    }
    return sheet;
}

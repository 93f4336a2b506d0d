#include "cli/CliCommon.h"

#include "base/OutputFormat.h"

#include <QDir>
#include <QFileInfo>
#include <cstdio>
#include <unistd.h>

namespace cli {

volatile std::sig_atomic_t interrupted = 0;

static void onInterrupt(int) { interrupted = 1; }

void InstallInterruptHandler()
{
    struct sigaction sa {};
    sa.sa_handler = onInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

Arguments Parse(const QStringList &args, const QStringList &valueNames, const QStringList &flagNames)
{
    Arguments a;
    for (int i = 0; i < args.size(); ++i) {
        const QString &arg = args[i];
        if (arg == "--") {
            // The usual end of the options: a file may be named "--x.wav".
            a.positional << args.mid(i + 1);
            break;
        }
        if (!arg.startsWith("--")) {
            a.positional << arg;
            continue;
        }
        QString name = arg.mid(2);
        QString value;
        const int eq = name.indexOf('=');
        if (eq >= 0) {
            value = name.mid(eq + 1);
            name = name.left(eq);
        }
        if (flagNames.contains(name)) {
            if (eq >= 0)
                throw UsageError(QString("option --%1 takes no value").arg(name).toStdString());
            a.options.insert(name, QString());
        } else if (valueNames.contains(name)) {
            if (eq < 0) {
                if (i + 1 >= args.size())
                    throw UsageError(QString("option --%1 needs a value").arg(name).toStdString());
                value = args[++i];
            }
            a.options.insert(name, value);
        } else {
            throw UsageError(QString("unknown option --%1").arg(name).toStdString());
        }
    }
    return a;
}

Reporter::Reporter(bool quiet) : quiet_(quiet), tty_(isatty(STDERR_FILENO))
{
    clock_.start();
}

void Reporter::SetFile(const QString &name)
{
    file_ = name;
    percent_ = -1;
    lastPlainPercent_ = -1;
    clock_.restart();
    if (!quiet_ && !tty_)
        std::fprintf(stderr, "%s\n", qUtf8Printable(name));
}

void Reporter::Progress(int percent)
{
    if (percent == percent_)
        return;
    percent_ = percent;
    Draw(false);
}

void Reporter::Files(int done, int total)
{
    files_ = QStringLiteral("%1/%2 ").arg(done).arg(total);
    Draw(true);
}

void Reporter::Draw(bool force)
{
    if (quiet_)
        return;
    if (!tty_) {
        // Plain lines: one every 10 percent, so logs stay short.
        if (percent_ >= 0 && (percent_ / 10 != lastPlainPercent_ / 10 || lastPlainPercent_ < 0)) {
            lastPlainPercent_ = percent_;
            std::fprintf(stderr, "  %3d%%\n", percent_);
        }
        return;
    }
    const qint64 now = clock_.elapsed();
    if (!force && now - lastDrawMs_ < 100 && percent_ < 100)
        return;
    lastDrawMs_ = now;
    const int width = 30;
    const int p = qBound(0, percent_, 100);
    const int filled = p * width / 100;
    QString eta = "--:--";
    if (p > 0) {
        const qint64 remaining = now * (100 - p) / p / 1000;
        eta = QString("%1:%2").arg(remaining / 60, 2, 10, QChar('0')).arg(remaining % 60, 2, 10, QChar('0'));
    }
    const qint64 el = now / 1000;
    const QString elapsed = QString("%1:%2").arg(el / 60, 2, 10, QChar('0')).arg(el % 60, 2, 10, QChar('0'));
    const QString bar = QString(filled, '#') + QString(width - filled, '-');
    QString name = QFileInfo(file_).fileName();
    if (name.size() > 30)
        name = name.left(27) + "...";
    std::fprintf(stderr, "\r[%s] %3d%%  %s%-30s  elapsed %s  left %s", qUtf8Printable(bar), p, qUtf8Printable(files_),
                 qUtf8Printable(name), qUtf8Printable(elapsed), qUtf8Printable(eta));
    std::fflush(stderr);
    barShown_ = true;
}

void Reporter::Done()
{
    if (barShown_) {
        std::fprintf(stderr, "\n");
        barShown_ = false;
    }
}

void Reporter::Status(const QString &text)
{
    if (quiet_ || tty_)
        return;
    std::fprintf(stderr, "  %s\n", qUtf8Printable(text));
}

void Reporter::Error(const QString &text)
{
    Done();
    ++errors_;
    std::fprintf(stderr, "quorvis-cli: %s\n", qUtf8Printable(text));
}

void Reporter::Warning(const QString &text)
{
    Done();
    std::fprintf(stderr, "quorvis-cli: warning: %s\n", qUtf8Printable(text));
}

void Reporter::Message(const QString &text)
{
    Done();
    std::fprintf(stderr, "%s\n", qUtf8Printable(text));
}

void Reporter::Info(const QString &text)
{
    if (!quiet_)
        Message(text);
}

QString Reporter::TakeWarnings(const QString &message)
{
    static const QString prefix = QStringLiteral("Warning: ");
    QStringList kept;
    for (const QString &line : message.split(QLatin1Char('\n'))) {
        if (!kept.isEmpty() && line.startsWith(prefix))
            Warning(line.mid(prefix.size()));
        else
            kept << line;
    }
    return kept.join(QLatin1Char('\n'));
}

QString FormatOption(const Arguments &a, const TProgramSettings &settings)
{
    const QString f = a.value("format", settings.saveformat).toLower();
    if (output_format::IndexOf(f) < 0)
        throw UsageError(QString("--format must be one of %1, not \"%2\"").arg(output_format::Words().join(", "), f).toStdString());
    return f;
}

int JobsOption(const Arguments &a, const TProgramSettings &settings)
{
    if (!a.has("jobs"))
        return settings.jobs;
    bool ok = false;
    const int jobs = a.value("jobs").toInt(&ok);
    if (!ok || jobs < 0 || jobs > kMaxJobs)
        throw UsageError(QString("--jobs must be a whole number from 0 (every core) to %1").arg(kMaxJobs).toStdString());
    return jobs;
}

QString OutputFolderOption(const Arguments &a, const TProgramSettings &settings)
{
    QString dir = a.has("out") ? QDir::toNativeSeparators(QFileInfo(a.value("out")).absoluteFilePath())
                               : settings.savepath;
    if (!dir.endsWith(PathDelimiter()))
        dir += PathDelimiter();
    return dir;
}

} // namespace cli

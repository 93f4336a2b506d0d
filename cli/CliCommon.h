#pragma once
#include "config/ProgramSettings.h"

#include <QMap>
#include <QString>
#include <QStringList>
#include <QElapsedTimer>
#include <csignal>
#include <stdexcept>

namespace cli {

// Exit statuses: 0 success, 1 some file failed, 2 wrong usage.
enum Exit { Ok = 0, Failed = 1, Usage = 2 };

// A usage mistake; main prints the message and the usage text and exits 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Parsed "--name value" / "--flag" options and the plain arguments, in order.
struct Arguments {
    QStringList positional;
    QMap<QString, QString> options; // name without dashes -> value ("" for flags)

    bool has(const QString &name) const { return options.contains(name); }
    QString value(const QString &name, const QString &fallback = QString()) const
    {
        return options.value(name, fallback);
    }
};

// flagNames take no value; every other option takes exactly one. After "--"
// every argument is a plain one, even when it starts with "-".
Arguments Parse(const QStringList &args, const QStringList &valueNames, const QStringList &flagNames);

// Set by SIGINT; runs poll it between blocks and stop like the Cancel button.
extern volatile std::sig_atomic_t interrupted;
void InstallInterruptHandler();

// Progress on standard error: a redrawn bar on a terminal, plain lines
// otherwise, nothing with --quiet. --quiet hides progress only: a message
// that explains something (a refusal, a warning, an error) always goes out.
class Reporter {
public:
    explicit Reporter(bool quiet);
    void SetFile(const QString &name);
    void Progress(int percent);
    // Files of a list done so far: the bar shows "done/total".
    void Files(int done, int total);
    void Status(const QString &text);
    void Error(const QString &text);   // always printed; the run fails
    void Warning(const QString &text); // always printed; the run still succeeds
    void Message(const QString &text); // always printed
    void Info(const QString &text);    // progress-like news (a run completed): not with --quiet
    // Prints the "Warning: " lines a run's end message carries below its
    // first line, and returns the rest of the message.
    QString TakeWarnings(const QString &message);
    void Done();                        // ends the bar's line
    bool AnyError() const { return errors_ > 0; }

private:
    void Draw(bool force);
    bool quiet_;
    bool tty_;
    int percent_ = -1;
    int lastPlainPercent_ = -1;
    int errors_ = 0;
    bool barShown_ = false;
    QString file_;
    QString files_; // "12/100 " while a list runs
    QElapsedTimer clock_;
    qint64 lastDrawMs_ = -1000;
};

// The format word of --format, checked; the saved format when absent.
QString FormatOption(const Arguments &a, const TProgramSettings &settings);
// --out, or the saved folder; always ends in the path delimiter.
QString OutputFolderOption(const Arguments &a, const TProgramSettings &settings);
// --jobs, checked (0: every core), or the saved [general] jobs.
int JobsOption(const Arguments &a, const TProgramSettings &settings);

} // namespace cli

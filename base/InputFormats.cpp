#include "base/InputFormats.h"

#include <QFileInfo>

namespace input_formats {
namespace {

struct Family {
    const char *description; // as the dialog shows it, without the patterns
    QStringList extensions;
    bool splitOnly;
};

const QList<Family> &Families()
{
    static const QList<Family> families{
        {"Wav files (*.wav)", {"wav"}, false},
        {"MPEG files (*.mp3;*.mp2;*.mp1)", {"mp3", "mp2", "mp1"}, false},
        {"WMA files (*.wma)", {"wma"}, false},
        {"Ogg Vorbis files (*.ogg)", {"ogg"}, false},
        {"MPPlus files (*.mpc;*.mp+)", {"mpc", "mp+"}, true},
        {"FLAC files (*.flac)", {"flac"}, false},
        {"Opus files (*.opus)", {"opus"}, false},
        {"AAC and ALAC files (*.m4a;*.aac;*.mp4)", {"m4a", "aac", "mp4"}, false},
        {"AIFF files (*.aif;*.aiff)", {"aif", "aiff"}, false},
        {"WavPack files (*.wv)", {"wv"}, false},
        {"Monkey's Audio files (*.ape)", {"ape"}, false},
    };
    return families;
}

QString Patterns(const QStringList &extensions, const QString &separator)
{
    QStringList patterns;
    for (const QString &e : extensions)
        patterns << "*." + e;
    return patterns.join(separator);
}

} // namespace

QStringList Extensions()
{
    QStringList all;
    for (const Family &f : Families())
        all << f.extensions;
    return all;
}

bool IsReadable(const QString &fileName) { return Extensions().contains(QFileInfo(fileName).suffix().toLower()); }

QString DialogFilter(bool withMpplus)
{
    // The entries keep their established order; the new families follow them.
    const QStringList all = Extensions();
    QStringList entries{"All supported files(" + Patterns(all, ";") + ") (" + Patterns(all, " ") + ")"};
    for (const Family &f : Families()) {
        if (f.splitOnly && !withMpplus)
            continue;
        entries << QString::fromUtf8(f.description) + " (" + Patterns(f.extensions, " ") + ")";
    }
    return entries.join(";;");
}

} // namespace input_formats

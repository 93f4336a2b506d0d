// quorvis-cli: the split, merge and convert runs of Quorvis for scripts, on the
// same engines, components and setup.ini encoder settings as the windows.
#include "cli/Commands.h"

#include <QCoreApplication>
#include <cstdio>

static const char usageText[] =
    "usage:\n"
    "  quorvis-cli info FILE... [--json] [--loudness]\n"
    "              (--loudness: EBU R128 integrated loudness, loudness range, true peak)\n"
    "  quorvis-cli split FILE (--parts N | --every SECONDS | --at T1,T2,... | --cue SHEET.cue\n"
    "              | --labels LABELS.txt | --chapters | --silence [--threshold DB] [--min-silence SECONDS]\n"
    "              [--tracks N] [--trim-silence])\n"
    "              [--format mp3|wav|wma|ogg|flac|opus|m4a|alac|m4b] [--out DIR]\n"
    "              [--precision exact|low|normal|high|very-high] [--lossless] [--no-tag]\n"
    "              [--jobs N] (parts written at once; 0, the default, every core)\n"
    "              [--overwrite] (replace parts already there; otherwise a taken\n"
    "              name gets \"New_\", then \"New_2_\", ...)\n"
    "  quorvis-cli merge FILE... --output NAME [--format ...] [--out DIR]\n"
    "              [--title T] [--artist A] [--album B] [--year Y] [--comment C]\n"
    "              [--chapters] (a chapter mark where each file begins, titled\n"
    "              from its title tag or file name; MP3, OGG, OPUS, FLAC, M4A, ALAC, M4B)\n"
    "              [--normalise LUFS] (-23, -18, -16 or -14: each file measured first and\n"
    "              brought to that loudness, its true peak held at -1 dBTP)\n"
    "              [--lossless] (MP3 or FLAC files of one stream format copied\n"
    "              into their own format without re-encoding)\n"
    "  quorvis-cli convert FILE|FOLDER... [--format ...] [--out DIR] [--copy-tags] [--jobs N]\n"
    "              [--recursive] [--keep-structure] [--skip-existing] [--name TEMPLATE]\n"
    "              [--replaygain] (track and album ReplayGain tags; albums by album tag, else folder)\n"
    "              (--jobs: files converted at once; 0, the default, every core.\n"
    "              A folder gives its audio files, in name order, with --recursive\n"
    "              those of its subfolders too; --keep-structure puts each output\n"
    "              at its source's place below the folder it came from;\n"
    "              --skip-existing passes over a source whose output is there and\n"
    "              newer than it; --name names outputs from tags, e.g.\n"
    "              \"{artist}/{album}/{track:02} - {title}\" (fields: artist,\n"
    "              albumartist, album, title, track, disc, year, genre, filename;\n"
    "              a missing field gives the file's own name; \"/\" makes folders))\n"
    "common options: --quiet (no progress); -- ends the options, so every\n"
    "argument after it is a file, even one whose name starts with \"-\"\n"
    "Times for --at are seconds or m:ss. --cue cuts where each track of the sheet\n"
    "starts and names and tags the parts from it. --labels cuts at the labels of\n"
    "an Audacity label file: at each point label, and around each region label,\n"
    "naming the part by its text (the stretches between regions are not written).\n"
    "--chapters cuts where each of the file's chapters starts and names and tags\n"
    "the parts from them.\n"
    "--silence cuts in the middle of each silence (below -40 dB for at least 1 s\n"
    "unless told); --tracks N cuts at the N-1 longest silences only (0, the\n"
    "default, at every one); --trim-silence cuts the silences out instead.\n"
    "Encoder settings, the default format and the default folder come from\n"
    "setup.ini beside the program (for an installed copy\n"
    "~/.config/quorvis/setup.ini); it is never written.\n";

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName("Quorvis");
    QStringList args = app.arguments().mid(1);
    if (args.isEmpty() || args.first() == "--help" || args.first() == "-h" || args.first() == "help") {
        std::fputs(usageText, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? cli::Usage : cli::Ok;
    }
    const QString command = args.takeFirst();
    LoadProgramSettings();
    cli::InstallInterruptHandler();
    try {
        if (command == "info")
            return cli::InfoCommand(args);
        if (command == "split")
            return cli::SplitCommand(args);
        if (command == "merge")
            return cli::MergeCommand(args);
        if (command == "convert")
            return cli::ConvertCommand(args);
        throw cli::UsageError(QString("unknown command \"%1\"").arg(command).toStdString());
    } catch (const cli::UsageError &e) {
        std::fprintf(stderr, "quorvis-cli: %s\n%s", e.what(), usageText);
        return cli::Usage;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "quorvis-cli: %s\n", e.what());
        return cli::Failed;
    }
}

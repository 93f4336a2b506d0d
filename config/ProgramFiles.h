#pragma once
#include <QString>

// Where the program finds its files.
//
// An executable in a folder named "bin" with "../share/quorvis" beside it is an
// installed copy (a package, or "cmake --install"): its folder belongs to the
// system, so setup.ini lives in the user's configuration folder,
// $XDG_CONFIG_HOME/quorvis (~/.config/quorvis when XDG_CONFIG_HOME is unset or
// not absolute). Any other layout is a portable copy or a build folder and keeps
// setup.ini beside the executable, unless that place cannot be saved to at all,
// in which case the user's folder takes over. The layout decides rather than a
// write test alone, because root may write anywhere.

struct ProgramLayout {
    QString executableDir;      // folder of the executable
    bool shareDirBeside = false; // executableDir/../share/quorvis exists
    // The folder of the executable, or a setup.ini already in it, can be written.
    bool besideWritable = true;
};

// The path of setup.ini for that layout and environment; pure, for tests.
QString SettingsPathFor(const ProgramLayout &layout, const QString &xdgConfigHome, const QString &home);

// The layout of the running executable (or of the folder tests point to).
ProgramLayout CurrentProgramLayout(const QString &executableDir);

// tips.txt, support.ini or the help file: beside the executable when it is
// there, else in ../share/quorvis relative to it; the path beside the
// executable when neither exists.
QString ProgramDataFile(const QString &name);

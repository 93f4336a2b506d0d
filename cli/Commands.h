#pragma once
#include "cli/CliCommon.h"

namespace cli {
int InfoCommand(const QStringList &args);
int SplitCommand(const QStringList &args);
int MergeCommand(const QStringList &args);
int ConvertCommand(const QStringList &args);
} // namespace cli

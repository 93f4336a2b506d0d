#include "merge/WindowMode.h"

LauncherMode WindowMode = LauncherMode::Merge;

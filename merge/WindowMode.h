#pragma once

// Which operation the merge/convert window serves; set by the launcher before
// it opens the window, read by the window when it is shown.
enum class LauncherMode { Merge, Convert };
extern LauncherMode WindowMode;

#include "merge/WindowMode.h"

TWindowMode WindowMode = TWindowMode::Merge;

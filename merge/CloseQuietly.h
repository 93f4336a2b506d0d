#pragma once
#include "audio/TAudioFile2.h"

#include <exception>

// Closes a run's reader and writer after the run has already failed: a second
// error from closing adds nothing the user can act on, so it is dropped.
inline void CloseBothQuietly(TAudioFile2 &reader, TAudioFile2 &writer)
{
    try {
        reader.CloseFile();
    } catch (const std::exception &) {
    }
    try {
        writer.CloseFile();
    } catch (const std::exception &) {
    }
}

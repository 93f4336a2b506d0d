#pragma once
#include <vector>

// Decoded audio as the components hand it around: interleaved 32-bit float,
// full scale +-1.0, ElementsPerSample() elements per sample frame. An empty
// array marks the end of the data. Decoders produce float and encoders take
// float, so audio is never quantised between reading and writing.
using PcmArray = std::vector<float>;

// The tag dialog's year rule on arbitrary text, as UTF-8 and as UTF-16.
#include "base/TagYear.h"
#include "tests/fuzz/FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    (void)ParseTagYear(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    (void)ParseTagYear(QString(reinterpret_cast<const QChar *>(data), qsizetype(size / 2)));
    return 0;
}

// libFuzzer entry points; build with QZR_FUZZ=ON and clang (scripts/fuzz.sh).
#include "FuzzChecks.h"

#include <cstdint>
#include <cstdlib>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
#ifdef QZR_FUZZ_REPLY
    const QString failure = qzr::fuzzchecks::checkReplyBytes(bytes);
#else
    const QString failure = qzr::fuzzchecks::checkSettingsBytes(bytes);
#endif
    if (!failure.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(failure));
        std::abort();
    }
    return 0;
}

// libFuzzer target for the parameter file reader: whatever the bytes, the
// reader returns (a set or a refusal naming a field), and a set it accepts
// is written and read back as the same words.
#include <cstdint>
#include <cstdlib>

#include "paramset/ParamFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const paramfile::TReadResult read = paramfile::FromJson(bytes);
    if (!read.set) {
        if (read.refusal.field.isEmpty()) std::abort();  // a refusal must name its field
        return 0;
    }
    const paramfile::TReadResult again = paramfile::FromJson(paramfile::ToJson(*read.set));
    if (!again.set || again.set->words != read.set->words) std::abort();
    return 0;
}

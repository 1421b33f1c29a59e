// libFuzzer target for the run CSV reader: whatever the bytes, the reader
// returns, and a run it reads is written and read back as the same rows.
#include <cstdint>
#include <cstdlib>

#include <QBuffer>

#include "runs/RunCsv.h"

namespace {

QByteArray Written(const runs::TRun& run) {
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    if (!chartcsv::Write(runs::Table(run), buffer)) std::abort();
    return buffer.data();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const runs::TCsvRead read = runs::ReadCsv(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (!read.run) {
        if (read.reason.isEmpty()) std::abort();  // a refusal says why
        return 0;
    }
    const QByteArray once = Written(*read.run);
    const runs::TCsvRead again = runs::ReadCsv(once);
    if (!again.run || Written(*again.run) != once) std::abort();
    return 0;
}

// Record file loader: any bytes either give a whole valid record or leave the
// caller's record untouched.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "records/record_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CharRecData rec = MakeEmptySlot(7);
    const CharRecData before = rec;
    if (LoadCharRecBytes(bytes, &rec)) {
        if (size < 363 || rec.valid != 1) std::abort();
        // What was loaded stores back to the same 363 bytes.
        if (CharRecToBytes(rec) != bytes.left(363)) std::abort();
    } else if (rec != before) {
        std::abort();
    }
    return 0;
}

// Record set loader: a successful load reads whole blocks only, at most 150.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

#include "records/record_files.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    auto set = std::make_unique<CTableCharRec>();
    set->Put(MakeEmptySlot(3), 3);
    if (LoadCharRecSetBytes(bytes, set.get())) {
        const int n = set->Count();
        if (n < 0 || n > CTableCharRec::kSlots) std::abort();
        if (size < static_cast<size_t>(8 + 359 * n)) std::abort();
        for (int i = 0; i < n; ++i) (void)set->Get(i);
    } else if (set->Count() != 4 || set->Get(3) != MakeEmptySlot(3)) {
        std::abort();
    }
    return 0;
}

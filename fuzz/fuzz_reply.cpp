// The answer decoder on arbitrary lines, and the driver's line assembly on an
// arbitrary byte stream.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "meter/kv60x_driver.h"
#include "meter/reply_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    MeterState st;
    DecodeReply(reinterpret_cast<const char*>(data), size, st, 0);
    // A "CR" answer of full length with the fuzzed bytes behind it.
    if (size > 0) {
        char line[600] = "CR00";
        const size_t n = size < 512 ? size : 512;
        std::memcpy(line + 4, data, n);
        std::memcpy(line + 516, "\r\n", 2);
        DecodeReply(line, 518, st, 0);
    }
    static Ckv60xDriver driver;  // no port: only the byte-by-byte assembly runs
    for (size_t i = 0; i < size; ++i) driver.OnByteReceived(data[i]);
    return 0;
}

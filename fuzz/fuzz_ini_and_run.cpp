// libFuzzer entry point: see FuzzIniAndRun in fuzz_harness.h.
#include <cstdio>
#include <cstdlib>

#include "fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string fault = velunt::fuzz::FuzzIniAndRun(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "fault: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}

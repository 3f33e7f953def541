// libFuzzer entry point: a control byte, then bytes that LineReader splits
// into lines and a plain loop checks.
#include <cstdio>
#include <cstdlib>

#include "fuzz_harness.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string fault = velunt::fuzz::FuzzLineReader(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "fault: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}

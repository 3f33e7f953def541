#pragma once
// Copying the short texts of a table line without a library call.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velunt {

// Copies `n` bytes: up to 16 with two fixed-size loads that may overlap,
// each within the text; longer ones with memcpy.
inline void CopyBytes(char* out, const char* in, std::size_t n) {
    if (n > 16) {
        std::memcpy(out, in, n);
    } else if (n >= 8) {
        std::uint64_t head, tail;
        std::memcpy(&head, in, 8);
        std::memcpy(&tail, in + n - 8, 8);
        std::memcpy(out, &head, 8);
        std::memcpy(out + n - 8, &tail, 8);
    } else if (n >= 4) {
        std::uint32_t head, tail;
        std::memcpy(&head, in, 4);
        std::memcpy(&tail, in + n - 4, 4);
        std::memcpy(out, &head, 4);
        std::memcpy(out + n - 4, &tail, 4);
    } else {
        for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
    }
}

}  // namespace velunt

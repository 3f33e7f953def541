#pragma once
// Copying the short texts of a table line without a library call.
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace velunt {

// Copies `n` bytes, sizeof(Word) <= n <= 2 * sizeof(Word), as a word from
// the start and a word from the end, which may overlap.
template <class Word>
inline void CopyBothEnds(char* out, const char* in, std::size_t n) {
    Word head, tail;
    std::memcpy(&head, in, sizeof head);
    std::memcpy(&tail, in + n - sizeof tail, sizeof tail);
    std::memcpy(out, &head, sizeof head);
    std::memcpy(out + n - sizeof tail, &tail, sizeof tail);
}

// Copies `n` bytes: up to 16 with fixed-size loads within the text, longer
// ones with memcpy.
inline void CopyBytes(char* out, const char* in, std::size_t n) {
    if (n > 16) {
        std::memcpy(out, in, n);
    } else if (n >= 8) {
        CopyBothEnds<std::uint64_t>(out, in, n);
    } else if (n >= 4) {
        CopyBothEnds<std::uint32_t>(out, in, n);
    } else {
        for (std::size_t i = 0; i < n; ++i) out[i] = in[i];
    }
}

}  // namespace velunt

#pragma once
// Zeroed memory for the large buffers that a run keeps from its start to its
// end (the blocks of the line reader and their masks, the table's buffer).
// Fresh memory from the system is zero until it is written, so nothing is
// touched before it is used. Where the system hands out large pages on
// request (Linux), the region is made of whole ones: the first touch of each
// page costs a page fault, about 10 µs in a virtual machine, so one 2 MiB
// page instead of 512 small ones takes milliseconds off every run. A region
// under 1 MiB comes from calloc(), as does any region where address space
// is short (a limit on it).
// A guard follows every span handed out; address sanitizer builds poison
// it, so that reading past a buffer is still caught.
#include <cstddef>
#include <span>
#include <type_traits>

namespace velunt {

class ZeroedRegion {
public:
    ZeroedRegion() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    explicit ZeroedRegion(size_t bytes);
    ~ZeroedRegion();
    ZeroedRegion(ZeroedRegion&& other) noexcept;
    ZeroedRegion& operator=(ZeroedRegion&& other) noexcept;

    // Hands out `count` objects from the part not yet handed out, starting on a
    // cache line. T must be one whose all-zero bytes are its value (numbers,
    // structs of them). Throws std::bad_alloc when the rest is too small.
    template <typename T>
    std::span<T> take(size_t count) {
        static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);
        static_assert(alignof(T) <= kLine);
        return std::span<T>(static_cast<T*>(takeBytes(count * sizeof(T))), count);
    }

    // Bytes that take() uses for `count` objects of `bytes` each, including
    // the rounding up to a cache line and the guard.
    static constexpr size_t takenBytes(size_t count, size_t bytes) {
        return (count * bytes + kLine - 1) / kLine * kLine + kLine;
    }

private:
    static constexpr size_t kLine = 64;  // also the guard's length
    void* takeBytes(size_t bytes);
    void fromHeap(size_t bytes);
    void release() noexcept;

    char* m_data = nullptr;  // m_size bytes, m_used of them handed out
    size_t m_size = 0;
    size_t m_used = 0;
    void* m_mapping = nullptr;  // what the system handed out, to give back
    size_t m_mappingSize = 0;   // 0: m_mapping came from calloc()
};

}  // namespace velunt

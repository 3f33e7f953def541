#include "base/zeroed_region.h"

#include <cstdint>
#include <cstdlib>
#include <new>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

#if defined(__SANITIZE_ADDRESS__)
#define VELUNT_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELUNT_ASAN 1
#endif
#endif
#ifdef VELUNT_ASAN
#include <sanitizer/asan_interface.h>
#endif

namespace velunt {

namespace {

constexpr size_t kLargePage = size_t{2} << 20;
// Smaller regions come from the C library's heap.
constexpr size_t kLargePageFrom = kLargePage / 2;

size_t roundUp(size_t bytes, size_t to) { return (bytes + to - 1) / to * to; }

// Marks bytes as not to be used, or as usable again, for the address sanitizer.
void poison([[maybe_unused]] void* start, [[maybe_unused]] size_t bytes) {
#ifdef VELUNT_ASAN
    ASAN_POISON_MEMORY_REGION(start, bytes);
#endif
}
void unpoison([[maybe_unused]] void* start, [[maybe_unused]] size_t bytes) {
#ifdef VELUNT_ASAN
    ASAN_UNPOISON_MEMORY_REGION(start, bytes);
#endif
}

}  // namespace

ZeroedRegion::ZeroedRegion(size_t bytes) : m_size(bytes) {
    if (bytes == 0) return;
    if (bytes > ~size_t{0} - 2 * kLargePage) throw std::bad_alloc();
#ifdef __linux__
    // A small region takes no large page: zeroing a whole one at its first
    // touch would cost more than the few small pages it replaces (a small
    // drawing's block, a short table's buffer).
    if (bytes < kLargePageFrom) {
        fromHeap(bytes);
        return;
    }
    // Large pages back only aligned runs of 2 MiB: the region takes whole
    // ones. One more is mapped, and what lies before the first boundary and
    // after the region given back.
    const size_t length = roundUp(bytes, kLargePage);
    const size_t mapped = length + kLargePage;
    void* const mapping =
        ::mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping != MAP_FAILED) {
        char* const start = static_cast<char*>(mapping);
        m_data =
            reinterpret_cast<char*>(roundUp(reinterpret_cast<std::uintptr_t>(start), kLargePage));
        const size_t head = static_cast<size_t>(m_data - start);
        if (head > 0) ::munmap(start, head);
        ::munmap(m_data + length, mapped - head - length);
        m_mapping = m_data;
        m_mappingSize = length;
        // A request only: where the system has no large page free, or they
        // are switched off, small pages serve.
        ::madvise(m_data, length, MADV_HUGEPAGE);
        poison(m_data, m_size);  // until handed out
        return;
    }
    // Address space is short (a limit): the C library may still have room.
#endif
    fromHeap(bytes);
}

void ZeroedRegion::fromHeap(size_t bytes) {
    m_mapping = std::calloc(bytes + kLine, 1);
    if (!m_mapping) throw std::bad_alloc();
    m_data = reinterpret_cast<char*>(roundUp(reinterpret_cast<std::uintptr_t>(m_mapping), kLine));
    poison(m_data, m_size);  // until handed out
}

ZeroedRegion::~ZeroedRegion() { release(); }

ZeroedRegion::ZeroedRegion(ZeroedRegion&& other) noexcept { *this = std::move(other); }

ZeroedRegion& ZeroedRegion::operator=(ZeroedRegion&& other) noexcept {
    if (this != &other) {
        release();
        m_data = std::exchange(other.m_data, nullptr);
        m_size = std::exchange(other.m_size, 0);
        m_used = std::exchange(other.m_used, 0);
        m_mapping = std::exchange(other.m_mapping, nullptr);
        m_mappingSize = std::exchange(other.m_mappingSize, 0);
    }
    return *this;
}

void ZeroedRegion::release() noexcept {
    if (!m_mapping) return;
    unpoison(m_data, m_size);  // the memory may be handed out again elsewhere
#ifdef __linux__
    if (m_mappingSize != 0) {
        ::munmap(m_mapping, m_mappingSize);
        m_mapping = nullptr;
        return;
    }
#endif
    std::free(m_mapping);
    m_mapping = nullptr;
}

void* ZeroedRegion::takeBytes(size_t bytes) {
    const size_t taken = takenBytes(1, bytes);
    if (taken < bytes || taken > m_size - m_used) throw std::bad_alloc();
    char* start = m_data + m_used;
    m_used += taken;
    unpoison(start, bytes);
    return start;
}

}  // namespace velunt

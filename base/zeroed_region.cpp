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

[[maybe_unused]] constexpr size_t kLargePage = size_t{2} << 20;

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
#ifdef __linux__
    // A mapping one large page longer than needed has a run of whole large
    // pages inside it, the only memory that large pages can back.
    if (bytes > ~size_t{0} - 2 * kLargePage) throw std::bad_alloc();
    const size_t whole = roundUp(bytes, kLargePage);
    m_mappingSize = whole + kLargePage;
    void* mapping =
        ::mmap(nullptr, m_mappingSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapping == MAP_FAILED) throw std::bad_alloc();
    m_mapping = mapping;
    const auto address = reinterpret_cast<std::uintptr_t>(mapping);
    m_data = reinterpret_cast<char*>(roundUp(address, kLargePage));
    // A request only: where the system has no large page free, or they are
    // switched off, the region is made of small pages.
    ::madvise(m_data, whole, MADV_HUGEPAGE);
#else
    if (bytes > ~size_t{0} - kLine) throw std::bad_alloc();
    m_mapping = std::calloc(bytes + kLine, 1);
    if (!m_mapping) throw std::bad_alloc();
    m_data = reinterpret_cast<char*>(roundUp(reinterpret_cast<std::uintptr_t>(m_mapping), kLine));
#endif
    poison(m_data, m_size);  // until handed out
}

ZeroedRegion::~ZeroedRegion() { release(); }

ZeroedRegion::ZeroedRegion(ZeroedRegion&& other) noexcept
    : m_data(std::exchange(other.m_data, nullptr)),
      m_size(std::exchange(other.m_size, 0)),
      m_used(std::exchange(other.m_used, 0)),
      m_mapping(std::exchange(other.m_mapping, nullptr)),
      m_mappingSize(std::exchange(other.m_mappingSize, 0)) {}

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
    ::munmap(m_mapping, m_mappingSize);
#else
    std::free(m_mapping);
#endif
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

#pragma once
// A fixed-size array of zeros for large buffers. It comes from calloc(),
// which takes fresh memory from the system as it is (already zero), so a
// page is first touched when the buffer is used there; a vector would write
// every byte when made. A run on a small drawing uses a fraction of its
// buffers, and touching a fresh page costs far more than reading a line.
#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

namespace velunt {

template <typename T>
class ZeroedArray {
    // Zero bytes become objects without a constructor run, so T must be
    // one whose all-zero bytes are its value (numbers, structs of them).
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    ZeroedArray() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    explicit ZeroedArray(size_t count)
        : m_data(count == 0 ? nullptr : static_cast<T*>(std::calloc(count, sizeof(T)))),
          m_size(count) {
        if (count != 0 && !m_data) throw std::bad_alloc();
    }

    T* data() { return m_data.get(); }
    const T* data() const { return m_data.get(); }
    size_t size() const { return m_size; }
    T& operator[](size_t i) { return m_data[i]; }
    const T& operator[](size_t i) const { return m_data[i]; }
    T* begin() { return data(); }
    T* end() { return data() + m_size; }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::unique_ptr<T[], Free> m_data;
    size_t m_size = 0;
};

}  // namespace velunt

#pragma once
// Counts the object types of a drawing during the run's one pass: each object
// start ("  0") is followed by its type line, which goes through add(). The
// types live in a small open-addressed table keyed by a hash of the first
// eight bytes and the length; counting a type already seen is one 8-byte
// load, a multiply and a compare, and only a new type allocates.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace velunt {

struct ObjectTypeCount {
    std::string type;  // the type line as read, cut at kMaxTypeLength bytes
    double count = 0;
    std::uint64_t head = 0;  // the first (up to) eight bytes, as headOf() reads them
};

class TypeCounter {
public:
    static constexpr size_t kSlots = 256;  // one stays free: up to 255 types are counted
    static constexpr size_t kMaxTypeLength = 64;

    TypeCounter() : m_slots(kSlots) {}

    // At least eight bytes must be readable from type.data(), as for every
    // line the reader hands out (kReadableSlack).
    void add(std::string_view type) {
        const std::uint64_t head = headOf(type);
        ObjectTypeCount& home = m_slots[homeSlot(head, type.size())];
        if (home.head == head && home.type.size() == type.size() && home.count > 0 &&
            (type.size() <= 8 ||
             std::memcmp(home.type.data() + 8, type.data() + 8, type.size() - 8) == 0)) {
            home.count += 1;
            return;
        }
        addProbing(type, head);
    }

    // The types counted, most frequent first (equal counts by name).
    std::vector<ObjectTypeCount> counts() const;

private:
    static std::uint64_t headOf(std::string_view type) {
        std::uint64_t word;
        std::memcpy(&word, type.data(), 8);
        return type.size() >= 8 ? word : word & ((std::uint64_t{1} << (8 * type.size())) - 1);
    }
    static size_t homeSlot(std::uint64_t head, size_t size) {
        return static_cast<size_t>(((head ^ size) * 0x9E3779B97F4A7C15ull) >> 56);  // kSlots
    }
    void addProbing(std::string_view type, std::uint64_t head);

    std::vector<ObjectTypeCount> m_slots;  // a slot with count 0 is free
    size_t m_used = 0;
};

}  // namespace velunt

#include "engine/type_counts.h"

#include <algorithm>

namespace velunt {

void TypeCounter::addNew(std::string_view type) {
    if (type.size() > kMaxTypeLength) type = type.substr(0, kMaxTypeLength);
    std::size_t hash = 14695981039346656037ull;  // FNV-1a
    for (const char c : type) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
    for (size_t probe = 0; probe < kSlots; ++probe) {
        const size_t i = (hash + probe) & (kSlots - 1);
        TypeCount& slot = m_slots[i];
        if (slot.count == 0) {
            if (m_used + 1 >= kSlots) return;  // full: one slot stays free to end probing
            slot.type.assign(type);
            ++m_used;
        } else if (slot.type != type) {
            continue;
        }
        slot.count += 1;
        m_last = i;
        return;
    }
}

std::vector<TypeCount> TypeCounter::counts() const {
    std::vector<TypeCount> result;
    for (const TypeCount& slot : m_slots)
        if (slot.count > 0) result.push_back(slot);
    std::sort(result.begin(), result.end(), [](const TypeCount& a, const TypeCount& b) {
        return a.count != b.count ? a.count > b.count : a.type < b.type;
    });
    return result;
}

}  // namespace velunt

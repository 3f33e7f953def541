#include "engine/type_counts.h"

#include <algorithm>

namespace velunt {

static_assert(TypeCounter::kSlots == 256, "homeSlot() takes the top 8 bits of the hash");

void TypeCounter::addProbing(std::string_view type, std::uint64_t head) {
    // A longer type is kept cut; its head (the first eight bytes) stays.
    if (type.size() > kMaxTypeLength) type = type.substr(0, kMaxTypeLength);
    const size_t home = homeSlot(head, type.size());
    for (size_t probe = 0; probe < kSlots; ++probe) {
        ObjectTypeCount& slot = m_slots[(home + probe) & (kSlots - 1)];
        if (slot.count == 0) {
            if (m_used + 1 >= kSlots) return;  // full: one slot stays free to end probing
            slot.type.assign(type);
            slot.head = head;
            ++m_used;
        } else if (slot.type != type) {
            continue;
        }
        slot.count += 1;
        return;
    }
}

std::vector<ObjectTypeCount> TypeCounter::counts() const {
    std::vector<ObjectTypeCount> result;
    for (const ObjectTypeCount& slot : m_slots)
        if (slot.count > 0) result.push_back(slot);
    std::sort(result.begin(), result.end(), [](const ObjectTypeCount& a, const ObjectTypeCount& b) {
        return a.count != b.count ? a.count > b.count : a.type < b.type;
    });
    return result;
}

}  // namespace velunt

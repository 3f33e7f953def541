#pragma once
// Counts the object types of a drawing during the run's one pass: each object
// start ("  0") is followed by its type line, which goes through add(). Runs
// of the same type cost one compare; a new type is looked up in a small
// open-addressed table, so counting allocates only once per distinct type.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velunt {

struct TypeCount {
    std::string type;  // the type line as read, cut at kMaxTypeLength bytes
    double count = 0;
};

class TypeCounter {
public:
    static constexpr size_t kSlots = 256;  // distinct types kept; more are not counted
    static constexpr size_t kMaxTypeLength = 64;

    TypeCounter() : m_slots(kSlots) {}

    void add(std::string_view type) {
        if (m_last != kNone && m_slots[m_last].type == type) {
            m_slots[m_last].count += 1;
            return;
        }
        addNew(type);
    }

    // The types counted, most frequent first (equal counts by name).
    std::vector<TypeCount> counts() const;

private:
    static constexpr size_t kNone = ~size_t{0};
    void addNew(std::string_view type);

    std::vector<TypeCount> m_slots;  // a slot with count 0 is free
    size_t m_used = 0;
    size_t m_last = kNone;
};

}  // namespace velunt

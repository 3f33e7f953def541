#include "engine/drawing_inventory.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <unordered_map>

#include "base/file_io.h"
#include "base/runtime_error.h"
#include "base/text_encoding.h"
#include "base/trim_spaces.h"
#include "engine/binary_drawing.h"
#include "lines/group_code.h"
#include "lines/line_reader.h"

namespace velunt {
namespace {

struct StringHash {
    using is_transparent = void;
    size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

// What is learned about one group code of the master type while reading.
struct CodeState {
    int code = 0;
    std::uint64_t objects = 0;
    bool repeats = false;
    bool hasSemicolon = false;
    bool hasValue = false;
    bool valueFirst = false;  // in some object a value line reading like it came first
    std::string firstValue;
    std::uint64_t seenIn = 0;  // the object (1-based) it was last met in as a code
    size_t place = 0;          // its place among the codes of that object
    bool isOrdered = false;    // it has a place in m_order
};

class InventoryScan {
public:
    InventoryScan(LineReader& reader, std::string_view masterType)
        : m_reader(reader), m_masterType(masterType) {}

    DrawingInventory run() {
        std::string_view line;
        bool atCode = true;  // the pairing: the next line is at a group-code position
        while (m_reader.next(line)) {
            const std::string_view digits = WholeNumberDigits(line);
            const bool isCode = atCode && !digits.empty();
            atCode = !isCode;
            if (m_awaitingType) {
                m_awaitingType = false;
                startObject(line);
            } else if (line == "  0") {
                endObject();
                m_awaitingType = true;
            } else if (m_inMaster) {
                masterLine(line, digits, isCode);
            } else if (m_inSection) {
                sectionLine(line, isCode);
            }
        }
        // As in a run: an object start needs its type line.
        if (m_awaitingType) throw MakeError(kInputPastEndOfFile);
        endObject();
        return result();
    }

private:
    void startObject(std::string_view type) {
        m_inSection = type == "SECTION";
        m_awaitingName = false;
        if (m_inSection || type == "ENDSEC") m_inEntities = false;
        auto it = m_types.find(type);
        if (it == m_types.end()) {
            if (m_types.size() >= DrawingInventory::kMaxTypes) {
                m_typesCut = true;
            } else {
                it = m_types.emplace(std::string(type), TypeCount{std::string(type)}).first;
            }
        }
        if (it != m_types.end()) (m_inEntities ? it->second.inEntities : it->second.elsewhere) += 1;
        if (!m_masterType.empty() && type == m_masterType) {
            m_inMaster = true;
            ++m_masterObjects;
            m_objectCodes.clear();
            m_pending = nullptr;
        }
    }

    // The section's name is the value of its first group code 2.
    void sectionLine(std::string_view line, bool isCode) {
        if (isCode) {
            m_awaitingName = line == "  2";
        } else if (m_awaitingName) {
            m_inEntities = line == "ENTITIES";
            m_awaitingName = m_inSection = false;
        }
    }

    void masterLine(std::string_view line, std::string_view digits, bool isCode) {
        if (isCode) {
            m_pending = codeState(digits, true);
            if (m_pending == nullptr) return;
            CodeState& state = *m_pending;
            if (state.seenIn == m_masterObjects) {
                state.repeats = true;
                return;
            }
            state.seenIn = m_masterObjects;
            state.objects += 1;
            state.place = m_objectCodes.size();
            if (static_cast<size_t>(state.code) < m_valueSeenIn.size() &&
                m_valueSeenIn[static_cast<size_t>(state.code)] == m_masterObjects)
                state.valueFirst = true;
            m_objectCodes.push_back(static_cast<int>(&state - m_codes.data()));
            return;
        }
        // A value line that reads like a group code is matched by a run's key
        // as well: note it when it comes before that code's first line.
        if (!digits.empty() && digits.size() <= 4 && (digits.size() == 1 || digits[0] != '0') &&
            IsStandardGroupCode(line, digits)) {
            int code = 0;
            std::from_chars(digits.data(), digits.data() + digits.size(), code);
            const CodeState* state = codeState(digits, false);
            if (static_cast<size_t>(code) < m_valueSeenIn.size() &&
                (state == nullptr || state->seenIn != m_masterObjects))
                m_valueSeenIn[static_cast<size_t>(code)] = m_masterObjects;
        }
        if (!m_hasNonUtf8Values && !IsValidUtf8(line)) m_hasNonUtf8Values = true;
        if (m_pending == nullptr) return;
        CodeState& state = *m_pending;
        m_pending = nullptr;
        if (!state.hasValue) {
            state.hasValue = true;
            state.firstValue.assign(line);
        }
        if (line.find(';') != std::string_view::npos) state.hasSemicolon = true;
    }

    // The state of the code `digits`; null when it is too long to be a code
    // or too many codes are known.
    CodeState* codeState(std::string_view digits, bool create) {
        // A code with leading zeros ("010") is no key a table can name.
        int code = 0;
        if (digits.size() > 9 || (digits.size() > 1 && digits[0] == '0')) return nullptr;
        std::from_chars(digits.data(), digits.data() + digits.size(), code);
        const auto it = m_codeIndex.find(code);
        if (it != m_codeIndex.end()) return &m_codes[static_cast<size_t>(it->second)];
        if (!create) return nullptr;
        if (m_codes.size() >= DrawingInventory::kMaxCodes) {
            m_codesCut = true;
            return nullptr;
        }
        // Reserved once for all codes kept, so that m_pending stays valid.
        if (m_codes.empty()) m_codes.reserve(DrawingInventory::kMaxCodes);
        m_codeIndex.emplace(code, static_cast<int>(m_codes.size()));
        CodeState state;
        state.code = code;
        m_codes.push_back(std::move(state));
        return &m_codes.back();
    }

    void endObject() {
        if (!m_inMaster) return;
        m_inMaster = false;
        m_pending = nullptr;
        learnOrder();
        if (m_masterObjects == 1) {
            m_reference = m_objectCodes;
            m_referenceHeld.assign(m_reference.size(), true);
            m_orderVaries.assign(m_reference.size(), std::vector<bool>(m_reference.size(), false));
            return;
        }
        // The codes of the first object still held by every object keep the
        // first object's order, or the pair is noted.
        for (size_t a = 0; a < m_reference.size(); ++a) {
            if (m_referenceHeld[a] && m_codes[m_reference[a]].seenIn != m_masterObjects)
                m_referenceHeld[a] = false;
        }
        for (size_t a = 0; a < m_reference.size(); ++a) {
            if (!m_referenceHeld[a]) continue;
            const size_t placeA = m_codes[m_reference[a]].place;
            for (size_t b = a + 1; b < m_reference.size(); ++b) {
                if (m_referenceHeld[b] && m_codes[m_reference[b]].place < placeA)
                    m_orderVaries[a][b] = m_orderVaries[b][a] = true;
            }
        }
    }

    // Merges the object's codes into the order learned so far: a code met
    // for the first time goes right after the code before it in the object.
    void learnOrder() {
        for (size_t i = 0; i < m_objectCodes.size(); ++i) {
            CodeState& state = m_codes[m_objectCodes[i]];
            if (state.isOrdered) continue;
            state.isOrdered = true;
            auto at = m_order.begin();
            if (i > 0) at = std::find(m_order.begin(), m_order.end(), m_objectCodes[i - 1]) + 1;
            m_order.insert(at, m_objectCodes[i]);
        }
    }

    DrawingInventory result() {
        DrawingInventory inventory;
        for (auto& [name, count] : m_types) inventory.types.push_back(std::move(count));
        std::sort(inventory.types.begin(), inventory.types.end(),
                  [](const TypeCount& a, const TypeCount& b) {
                      if (a.total() != b.total()) return a.total() > b.total();
                      return a.type < b.type;
                  });
        inventory.typesCut = m_typesCut;
        inventory.masterType = m_masterType;
        inventory.masterObjects = m_masterObjects;
        inventory.hasNonUtf8Values = m_hasNonUtf8Values;
        inventory.codesCut = m_codesCut;
        for (const int index : m_order) {
            CodeState& state = m_codes[index];
            CodeCount count;
            count.code = state.code;
            count.objects = state.objects;
            count.repeats = state.repeats;
            count.hasSemicolon = state.hasSemicolon;
            count.firstValue = std::move(state.firstValue);
            const auto place = std::find(m_reference.begin(), m_reference.end(), index);
            const bool isHeld = place != m_reference.end() &&
                                m_referenceHeld[static_cast<size_t>(place - m_reference.begin())];
            count.isSteady = isHeld && !state.valueFirst;
            inventory.steadyPlace.push_back(
                count.isSteady ? static_cast<int>(place - m_reference.begin()) : -1);
            inventory.codes.push_back(std::move(count));
        }
        inventory.orderVaries = std::move(m_orderVaries);
        return inventory;
    }

    LineReader& m_reader;
    std::string m_masterType;
    std::unordered_map<std::string, TypeCount, StringHash, std::equal_to<>> m_types;
    bool m_typesCut = false;
    bool m_awaitingType = false;
    bool m_inSection = false;     // in a SECTION object, before its name
    bool m_awaitingName = false;  // its group code 2 was the line before
    bool m_inEntities = false;

    bool m_inMaster = false;
    std::uint64_t m_masterObjects = 0;
    std::vector<CodeState> m_codes;
    std::unordered_map<int, int> m_codeIndex;
    bool m_codesCut = false;
    bool m_hasNonUtf8Values = false;
    CodeState* m_pending = nullptr;  // the code whose value line comes next
    // Per group code of the DXF range: the object in which a value line
    // reading like it came before its first group-code line.
    std::vector<std::uint64_t> m_valueSeenIn = std::vector<std::uint64_t>(1072, 0);
    std::vector<int> m_objectCodes;  // the current object's codes, each once, as met
    std::vector<int> m_order;        // all codes in the order learned so far
    std::vector<int> m_reference;    // the first object's codes
    std::vector<bool> m_referenceHeld;
    std::vector<std::vector<bool>> m_orderVaries;
};

}  // namespace

bool DrawingInventory::alwaysBefore(size_t a, size_t b) const {
    const int placeA = steadyPlace.at(a);
    const int placeB = steadyPlace.at(b);
    if (placeA < 0 || placeB < 0) return false;
    return placeA < placeB &&
           !orderVaries[static_cast<size_t>(placeA)][static_cast<size_t>(placeB)];
}

bool IsStructureMarker(std::string_view type) {
    constexpr std::string_view kMarkers[] = {"SECTION", "ENDSEC", "TABLE",  "ENDTAB",
                                             "BLOCK",   "ENDBLK", "SEQEND", "EOF"};
    const std::string_view name = TrimSpaces(type);
    return std::find(std::begin(kMarkers), std::end(kMarkers), name) != std::end(kMarkers);
}

std::string CodeRemark(const CodeCount& code, std::uint64_t masterObjects) {
    if (code.objects < masterObjects)
        return "* fehlt in " + std::to_string(masterObjects - code.objects);
    return code.repeats ? "mehrfach" : "";
}

DrawingInventory TakeInventory(const std::filesystem::path& drawing, std::string_view masterType) {
    const FileHandle file = OpenForReading(drawing, FileRole::Drawing);
    LineReader reader(file.get(), drawing);
    reader.readGroupCodesInPairs();
    RefuseBinaryDrawing(reader, drawing);
    return InventoryScan(reader, masterType).run();
}

}  // namespace velunt

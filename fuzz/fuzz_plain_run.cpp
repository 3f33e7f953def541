#include "fuzz_plain_run.h"

#include "base/runtime_error.h"
#include "fuzz_reference.h"

namespace velunt::fuzz {

std::optional<std::string> plainStandardCode(std::string_view text) {
    const size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return std::nullopt;
    const size_t last = text.find_last_not_of(' ');
    const std::string digits(text.substr(first, last - first + 1));
    if (digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
    return digits.size() >= 3 ? digits : std::string(3 - digits.size(), ' ') + digits;
}

bool plainAmount(std::string_view amount) {
    const size_t first = amount.find_first_not_of(' ');
    if (first == std::string_view::npos) return true;
    std::string_view number = amount.substr(first, amount.find_last_not_of(' ') - first + 1);
    if (number.front() == '+' || number.front() == '-') number.remove_prefix(1);
    const size_t point = number.find('.');
    if (point != std::string_view::npos && number.find('.', point + 1) != std::string_view::npos)
        return false;
    return number.find_first_not_of("0123456789.") == std::string_view::npos &&
           number.find_first_of("0123456789") != std::string_view::npos;
}

namespace {

// The drawing's lines as the scan sees them: read in code/value pairs, a
// whole number at a group-code position in the standard layout; anything
// else there counts as a value line, and the next line is a code again.
std::vector<std::string> plainDrawingLines(std::string_view bytes) {
    std::vector<std::string> lines;
    bool atCode = true;
    for (const std::string_view line : ReferenceLines(bytes)) {
        if (!atCode) {
            lines.emplace_back(line);
            atCode = true;
            continue;
        }
        const std::optional<std::string> code = plainStandardCode(line);
        lines.push_back(code ? *code : std::string(line));
        atCode = !code;
    }
    return lines;
}

std::string plainRecordLine(const std::vector<std::string>& texts, const Configuration& config,
                            const RunSettings& settings, bool atObjectStart, double objectCounter) {
    const int count = config.columnCount;
    const bool addCounter = settings.addCounter;
    const std::string& separator = settings.separator;
    std::string line;
    bool fieldWritten = false;
    for (int c = 1; c <= count; ++c) {
        for (int j = 0; j < count; ++j) {
            if (config.table.columns[static_cast<size_t>(j)] != c) continue;
            if (fieldWritten) line += separator;
            fieldWritten = true;
            std::string_view text = texts[static_cast<size_t>(j)];
            while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
            while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
            line += text;
            break;
        }
    }
    if (addCounter && atObjectStart && objectCounter == 0) line += separator + "Index";
    if (addCounter && objectCounter > 0)
        line += separator + std::to_string(static_cast<long long>(objectCounter));
    return line + "\r\n";
}

}  // namespace

Expected plainRun(std::string_view drawing, const Configuration& config,
                  const RunSettings& settings) {
    const std::vector<std::string> lines = plainDrawingLines(drawing);
    std::vector<std::string> keys;
    for (const std::string& key : config.table.keys)
        keys.push_back(plainStandardCode(key).value_or(key));
    const int count = config.columnCount;
    std::vector<std::string> texts = config.table.texts;
    Expected expected;
    bool inObject = false;
    int nextKey = 0;
    double objectCounter = 0;
    try {
        size_t i = 0;
        const auto required = [&]() -> std::string_view {
            if (i == lines.size()) throw MakeError(kInputPastEndOfFile);
            return lines[i++];
        };
        while (i < lines.size()) {
            std::string_view line = lines[i++];
            if (line == "  0") {
                line = required();
                if (line == config.settings.masterkey) {
                    inObject = true;
                    expected.table += plainRecordLine(texts, config, settings, true, objectCounter);
                    objectCounter += 1;
                    texts.assign(static_cast<size_t>(count) + 1, std::string());
                    nextKey = 0;
                } else {
                    inObject = false;
                }
            }
            if (inObject && count > 0 && line == keys[static_cast<size_t>(nextKey)]) {
                const std::string_view value = required();
                texts[static_cast<size_t>(nextKey)] = ReferenceTransform(
                    value, keys[static_cast<size_t>(nextKey)], settings, expected.sure);
                if (++nextKey == count) inObject = false;
            }
        }
        expected.table += plainRecordLine(texts, config, settings, false, objectCounter);
    } catch (const RuntimeError& error) {
        expected.error = error.number;
    }
    return expected;
}

}  // namespace velunt::fuzz

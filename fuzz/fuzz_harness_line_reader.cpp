// The line reader's harness: LineReader against a plain byte loop over the
// same bytes, read in blocks of every size and skipped through as a run does.
#include <algorithm>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "fuzz_harness.h"
#include "fuzz_reference.h"
#include "fuzz_support.h"
#include "lines/line_reader.h"

namespace velunt::fuzz {

namespace fs = std::filesystem;

namespace {

constexpr size_t kMaxCandidates = 4096;

// Keys the reader may be told of; skipping to keys must not pass over them.
struct KeySet {
    std::vector<std::string_view> keys;
    bool shaped;  // every key has three bytes
};
const KeySet kKeySets[4] = {
    {{}, false},
    {{" 10", " 20", "  1"}, true},
    {{"  8", " 10", " 10", "100"}, true},
    {{" 10", "1000", ""}, false},
};

}  // namespace

std::string FuzzLineReader(const std::uint8_t* data, std::size_t size) {
    if (size < kLineReaderControlBytes) return {};
    const std::uint8_t blockByte = data[0];
    const std::uint8_t mode = data[1];
    const std::string_view bytes(reinterpret_cast<const char*>(data) + kLineReaderControlBytes,
                                 size - kLineReaderControlBytes);
    // Blocks of 1 to 64 bytes, or multiples of 13 up to 832: boundaries fall
    // everywhere, also between CR and LF and inside the 64-byte windows.
    size_t blockSize = (blockByte & 63u) + 1;
    if (blockByte & 64u) blockSize *= 13;
    const bool peekFirst = blockByte & 128u;
    const bool moveSpilled = mode & 1u;
    const unsigned skipEvery = (mode >> 1) & 31u;  // 0: never skip
    const KeySet& keySet = kKeySets[mode >> 6];

    const fs::path path = scratch() / "lines.bin";
    writeBytes(path, bytes);
    FileHandle file = OpenForReading(path);
    // The larger blocks are read ahead on a second thread, the small ones not.
    LineReader reader(file.get(), path, blockSize, (blockByte & 64u) != 0);
    const std::vector<std::string> keys(keySet.keys.begin(), keySet.keys.end());
    if (!keys.empty() && reader.setKeys(keys) != keySet.shaped)
        return "setKeys() misjudged whether every key has three bytes";

    if (peekFirst) {
        // The run looks at the first bytes for the binary DXF sentinel
        // before it reads a line; reading must not change afterwards.
        const std::string_view peeked = reader.peek(22);
        if (peeked != bytes.substr(0, std::min({size_t{22}, blockSize, bytes.size()})))
            return "peek does not show the first bytes";
    }
    const std::vector<std::string_view> expected = ReferenceLines(bytes);
    // Skipping passes over lines, but never over an object start. Which
    // lines it passed over shows only in what comes next, so `next` holds
    // every index of `expected` that the following line may have.
    std::vector<size_t> next = {0};
    std::vector<size_t> after;
    std::string_view line;
    std::string moved;
    volatile char sink = 0;
    bool skippedLast = false;
    bool toKeys = false;                   // the last skip was to a key or object starts
    const std::string* awaited = nullptr;  // the one key it awaited, if so
    for (size_t call = 0;; ++call) {
        // Outside objects the run skips to object starts, inside them to
        // keys or object starts; both in turn here.
        skippedLast = skipEvery != 0 && call % skipEvery == 0;
        toKeys = skippedLast && !keys.empty() && (call / skipEvery) % 2 == 1;
        // A skip to keys awaits one key only, as the run does, each in turn.
        const size_t keyIndex = toKeys ? (call / skipEvery / 2) % keys.size() : 0;
        awaited = toKeys ? &keys[keyIndex] : nullptr;
        if (skippedLast) {
            if (toKeys) {
                reader.skipToKeyOrObjectStart(keyIndex);
            } else {
                reader.skipToObjectStart();
            }
        }
        if (!reader.next(line)) break;
        // Every view promises readable bytes past its end (under
        // AddressSanitizer, reading them proves it).
        for (size_t k = 0; k < kReadableSlack; ++k) sink = sink ^ line.data()[line.size() + k];
        after.clear();
        if (!skippedLast) {
            for (const size_t j : next)
                if (j < expected.size() && expected[j] == line) after.push_back(j + 1);
        } else {
            // From each candidate up to the next object start; `next` is
            // sorted, so each line is looked at once.
            size_t scanned = 0;
            for (const size_t j : next) {
                for (size_t m = std::max(j, scanned); m < expected.size(); ++m) {
                    scanned = m + 1;
                    if (expected[m] == line) after.push_back(m + 1);
                    if (expected[m] == "  0" || (awaited && expected[m] == *awaited)) break;
                }
            }
        }
        if (after.empty())
            return std::string(skippedLast ? "after skipping, " : "") + "line " +
                   std::to_string(call) + " is none of the lines expected";
        next.swap(after);
        if (moveSpilled && reader.lastLineSpilled()) {
            const std::string copy(line);
            reader.moveLastLineInto(moved);
            if (moved != copy) return "a spilled line changed when taken over";
        }
        if (next.size() > kMaxCandidates) {
            // Too many equal lines to tell where the reader stands: read on
            // for the sanitizers only.
            while (reader.next(line)) {
            }
            return {};
        }
    }
    // At the end: every line read, or, just after a skip, only lines that
    // the skip may pass over.
    size_t afterLastStop = 0;
    for (size_t j = 0; j < expected.size(); ++j)
        if (expected[j] == "  0" ||
            (toKeys && std::find(keys.begin(), keys.end(), expected[j]) != keys.end()))
            afterLastStop = j + 1;
    const bool endOk = std::any_of(next.begin(), next.end(), [&](size_t j) {
        return j == expected.size() || (skippedLast && j >= afterLastStop);
    });
    if (!endOk) return "the lines ended early";
    if (reader.next(line)) return "a line after the end was reported";
    if (reader.bytesRead() != bytes.size()) return "bytesRead() differs from the file size";
    return {};
}

}  // namespace velunt::fuzz

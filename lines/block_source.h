#pragma once
// Reads a file in blocks and computes the bit masks of each block's 64-byte
// windows (what the bits mean: lines/line_reader.h). With prefetching, a
// second thread reads and scans the next blocks while the caller works on
// the current one; memory stays at three blocks.
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "base/runtime_error.h"
#include "lines/group_code_pairing.h"
#include "lines/window_masks.h"

namespace velunt {

struct Block {
    std::vector<char> data;  // the block's bytes, plus slack for the last window
    // One mask word per window (lines/line_reader.h).
    std::vector<std::uint64_t> lineEnds, objectStarts, keyCandidates;
    // With group codes read in pairs: a bit at the line end of each group-code
    // line to hand out in the standard layout (GroupCodePairing).
    std::vector<std::uint64_t> relaid;
    std::vector<CodeLineMasks> codeLines;  // with group codes read in pairs: per window
    bool hasRelaid = false;                // any bit of `relaid` is set
    bool lastLineRelaid = false;  // at the end of the file: the last line, which has no line end
    size_t length = 0;            // 0 at the end of the file
    std::optional<RuntimeError> error;  // reading failed
};

class BlockSource {
public:
    // Borrows `file`. `path` only names the file in read errors. `variant`
    // computes the masks (one of AvailableMaskVariants()).
    BlockSource(std::FILE* file, std::filesystem::path path, size_t blockSize, bool prefetch,
                MaskVariant variant);
    ~BlockSource();
    BlockSource(const BlockSource&) = delete;
    BlockSource& operator=(const BlockSource&) = delete;

    // Before the first take().
    void setKeyShape(const KeyShape& shape) { m_shape = shape; }
    void pairGroupCodes();
    bool started() const { return m_started; }

    // The next block; the one taken before is given back and must no longer
    // be used. After the end of the file (or a read error) that last block is
    // returned again.
    Block& take();

private:
    void fill(Block& block);
    void produce();

    std::FILE* m_file;
    std::filesystem::path m_path;
    size_t m_blockSize;
    bool m_prefetch;
    KeyShape m_shape;
    std::optional<GroupCodePairing> m_pairing;  // only the reading thread uses it
    MaskVariant m_variant;
    bool m_started = false;
    bool m_lineStartsAtBlock = true;  // the block before ended with a line end
    std::vector<std::unique_ptr<Block>> m_blocks;
    Block* m_current = nullptr;

    // Between the caller and the prefetching thread.
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Block*> m_free;
    std::vector<Block*> m_ready;  // in file order
    size_t m_readyFront = 0;
    bool m_stop = false;
    std::thread m_thread;
};

}  // namespace velunt

#pragma once
// Reads a file in blocks and computes the bit masks of each block's 64-byte
// windows (what the bits mean: lines/line_reader.h). With prefetching, a
// second thread reads and scans the next blocks while the caller works on
// the current one; memory stays at three blocks. The first block is always
// read on the caller's thread: a file that ends within it (most small
// drawings) never starts the second thread nor takes memory for its blocks.
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <thread>
#include <vector>

#include "base/runtime_error.h"
#include "base/zeroed_region.h"
#include "lines/group_code_pairing.h"
#include "lines/window_masks.h"

namespace velunt {

// Its buffers lie in the memory of the BlockSource that hands it out.
struct Block {
    std::span<char> data;  // the block's bytes, plus slack for the last window
    // One mask word per window (lines/line_reader.h).
    std::span<std::uint64_t> lineEnds, objectStarts, keyCandidates;
    // With group codes read in pairs: a bit at the line end of each group-code
    // line to hand out in the standard layout (GroupCodePairing).
    std::span<std::uint64_t> relaid;
    bool hasRelaid = false;       // any bit of `relaid` is set
    bool lastLineRelaid = false;  // at the end of the file: the last line, which has no line end
    bool afterCr = false;         // the block before ended with a CR (maybe half a CR LF pair)
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
    // Takes the memory of the blocks read ahead and starts the thread that
    // fills them; without either, reading stays on the caller's thread.
    void startPrefetch();
    void addBlocks(ZeroedRegion& memory, size_t count);
    size_t windowCount() const;
    size_t blockBytes() const;  // one block's buffers in a ZeroedRegion
    // On the prefetching thread: fills the blocks from the `first`-th of the
    // file on.
    void produce(std::uint64_t first);

    std::FILE* m_file;
    std::filesystem::path m_path;
    size_t m_blockSize;
    bool m_prefetch;
    KeyShape m_shape;
    // Used by the thread that fills the blocks: the caller for the first, then
    // the one reading ahead (started after it).
    std::optional<GroupCodePairing> m_pairing;
    // With group codes read in pairs: per window of the block being filled,
    // from its masks to its pairing (one buffer, so it stays in cache).
    std::span<CodeLineMasks> m_codeLines;
    MaskVariant m_variant;
    bool m_started = false;
    char m_lastByte = '\n';      // of the block before: a line starts at the next block
    ZeroedRegion m_memory;       // the first block's buffers, and m_codeLines
    ZeroedRegion m_aheadMemory;  // the buffers of the blocks read ahead
    std::vector<std::unique_ptr<Block>> m_blocks;
    Block* m_current = nullptr;

    // Between the caller and the prefetching thread: the blocks are filled
    // and taken in turn, the k-th of the file in block k % count. Each side
    // spins a little on the other's counter before it sleeps, so that a
    // hand-over seldom costs a system call.
    void awaitFilled(std::uint64_t count);
    bool awaitReleased(std::uint64_t count);  // false when stopping
    static constexpr std::uint64_t kStop = std::uint64_t{1} << 63;
    std::atomic<std::uint64_t> m_filled{0};    // blocks filled so far
    std::atomic<std::uint64_t> m_released{0};  // blocks given back, plus kStop when stopping
    std::uint64_t m_taken = 0;                 // the caller's: blocks taken
    std::thread m_thread;
};

}  // namespace velunt

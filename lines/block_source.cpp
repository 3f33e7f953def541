#include "lines/block_source.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>
#include <thread>

#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__) || defined(_M_IX86)
#include <immintrin.h>
#endif

namespace velunt {

BlockSource::BlockSource(std::FILE* file, std::filesystem::path path, size_t blockSize,
                         bool prefetch, MaskVariant variant)
    : m_file(file),
      m_path(std::move(path)),
      m_blockSize(blockSize),
      m_prefetch(prefetch),
      m_variant(variant) {
    const size_t windows = windowCount();
    // One region for the first block and the code-line masks, so that a few
    // large pages can hold them; the relaid bits and the code-line masks
    // are only written when group codes are read in pairs.
    m_memory =
        ZeroedRegion(blockBytes() + ZeroedRegion::takenBytes(windows, sizeof(CodeLineMasks)));
    addBlocks(m_memory, 1);
    m_codeLines = m_memory.take<CodeLineMasks>(windows);
}

size_t BlockSource::windowCount() const { return (m_blockSize + 63) / 64; }

size_t BlockSource::blockBytes() const {
    constexpr size_t kMaskArrays = 4;  // per block: the words taken in addBlocks()
    return ZeroedRegion::takenBytes(m_blockSize + 64, 1) +
           kMaskArrays * ZeroedRegion::takenBytes(windowCount(), sizeof(std::uint64_t));
}

void BlockSource::addBlocks(ZeroedRegion& memory, size_t count) {
    const size_t windows = windowCount();
    for (size_t i = 0; i < count; ++i) {
        auto block = std::make_unique<Block>();
        block->data = memory.take<char>(m_blockSize + 64);
        block->lineEnds = memory.take<std::uint64_t>(windows);
        block->objectStarts = memory.take<std::uint64_t>(windows);
        block->keyCandidates = memory.take<std::uint64_t>(windows);
        block->relaid = memory.take<std::uint64_t>(windows);
        m_blocks.push_back(std::move(block));
    }
}

void BlockSource::startPrefetch() {
    constexpr size_t kAhead = 2;
    try {
        m_aheadMemory = ZeroedRegion(kAhead * blockBytes());
        m_blocks.reserve(1 + kAhead);
        addBlocks(m_aheadMemory, kAhead);
        // The first block is filled and taken already.
        m_filled.store(1, std::memory_order_relaxed);
        m_thread = std::thread([this] { produce(1); });
    } catch (const std::system_error&) {  // no thread to be had: read on this one
        m_prefetch = false;
    } catch (const std::bad_alloc&) {  // no memory for the blocks ahead: the same
        m_prefetch = false;
    }
    if (m_prefetch) return;
    m_blocks.resize(1);
    m_aheadMemory = ZeroedRegion();
}

void BlockSource::pairGroupCodes() { m_pairing.emplace(); }

BlockSource::~BlockSource() {
    if (!m_thread.joinable()) return;
    m_released.fetch_add(kStop);
    m_released.notify_all();
    m_thread.join();
}

namespace {

// Spinning for a block is worth up to some tens of microseconds: about as
// long as going to sleep and being woken again costs.
constexpr int kSpins = 2000;

void relax() {
#if defined(__x86_64__) || defined(_M_X64) || defined(__i386__) || defined(_M_IX86)
    _mm_pause();
#else
    std::this_thread::yield();
#endif
}

// Waits until `counter` satisfies `done`, spinning first.
template <typename Done>
std::uint64_t await(const std::atomic<std::uint64_t>& counter, Done done) {
    std::uint64_t value = counter.load(std::memory_order_acquire);
    for (int i = 0; i < kSpins && !done(value); ++i) {
        relax();
        value = counter.load(std::memory_order_acquire);
    }
    while (!done(value)) {
        counter.wait(value, std::memory_order_acquire);
        value = counter.load(std::memory_order_acquire);
    }
    return value;
}

}  // namespace

void BlockSource::awaitFilled(std::uint64_t count) {
    await(m_filled, [count](std::uint64_t filled) { return filled >= count; });
}

bool BlockSource::awaitReleased(std::uint64_t count) {
    const std::uint64_t value =
        await(m_released, [count](std::uint64_t released) { return released >= count; });
    return value < kStop;
}

void BlockSource::fill(Block& block) {
    errno = 0;
    const size_t n = std::fread(block.data.data(), 1, m_blockSize, m_file);
    block.length = n;
    block.error.reset();
    if (n == 0) {
        if (std::ferror(m_file)) block.error = FileErrorFromErrno(errno ? errno : EIO, m_path);
        block.lastLineRelaid = m_pairing && m_pairing->lastLineNeedsLayout();
        return;
    }
    block.afterCr = m_lastByte == '\r';
    ComputeWindowMasks(m_variant, block.data.data(), n, block.afterCr || m_lastByte == '\n',
                       m_shape, block.lineEnds.data(), block.objectStarts.data(),
                       block.keyCandidates.data(), m_pairing ? m_codeLines.data() : nullptr);
    if (m_pairing) {
        if (block.hasRelaid) std::fill(block.relaid.begin(), block.relaid.end(), 0);
        block.hasRelaid = m_pairing->scanBlock(
            block.data.data(), n, block.afterCr, block.lineEnds.data(), m_codeLines.data(),
            block.objectStarts.data(), block.keyCandidates.data(), block.relaid.data());
    }
    m_lastByte = block.data[n - 1];
}

void BlockSource::produce(std::uint64_t first) {
    const std::uint64_t count = m_blocks.size();
    for (std::uint64_t k = first;; ++k) {
        // Block k % count is free once the caller gave back the one that
        // used it before.
        if (k >= count && !awaitReleased(k - count + 1)) return;
        Block* block = m_blocks[k % count].get();
        try {
            fill(*block);
        } catch (const std::bad_alloc&) {  // making an error's text can fail so
            block->length = 0;
            try {
                block->error = MakeError(kOutOfMemory);
            } catch (const std::bad_alloc&) {
                block->error = RuntimeError{kOutOfMemory, {}};  // the number without its text
            }
        }
        const bool last = block->length == 0;  // the block is the caller's once filled
        m_filled.store(k + 1, std::memory_order_release);
        m_filled.notify_one();
        if (last) return;
    }
}

Block& BlockSource::take() {
    if (m_current && m_current->length == 0) return *m_current;  // past the end
    m_started = true;
    if (!m_current) {
        m_current = m_blocks.front().get();
        fill(*m_current);
        m_taken = 1;
        // A short first block ends the file (or failed): nothing to read ahead.
        if (m_prefetch && m_current->length == m_blockSize) startPrefetch();
        return *m_current;
    }
    if (!m_thread.joinable()) {
        fill(*m_current);
        return *m_current;
    }
    // The block taken before is given back.
    m_released.fetch_add(1, std::memory_order_release);
    m_released.notify_one();
    awaitFilled(m_taken + 1);
    m_current = m_blocks[m_taken % m_blocks.size()].get();
    ++m_taken;
    return *m_current;
}

}  // namespace velunt

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
    const size_t windows = (blockSize + 63) / 64;
    const size_t blocks = prefetch ? 3 : 1;
    // One region for all buffers, so that a few large pages can hold them.
    // The relaid bits and the code-line masks are only written when group
    // codes are read in pairs.
    constexpr size_t kMaskArrays = 4;  // per block: the words taken below
    const size_t words = ZeroedRegion::takenBytes(windows, sizeof(std::uint64_t));
    m_memory =
        ZeroedRegion(blocks * (ZeroedRegion::takenBytes(blockSize + 64, 1) + kMaskArrays * words) +
                     ZeroedRegion::takenBytes(windows, sizeof(CodeLineMasks)));
    for (size_t i = 0; i < blocks; ++i) {
        auto block = std::make_unique<Block>();
        block->data = m_memory.take<char>(blockSize + 64);
        block->lineEnds = m_memory.take<std::uint64_t>(windows);
        block->objectStarts = m_memory.take<std::uint64_t>(windows);
        block->keyCandidates = m_memory.take<std::uint64_t>(windows);
        block->relaid = m_memory.take<std::uint64_t>(windows);
        m_blocks.push_back(std::move(block));
    }
    m_codeLines = m_memory.take<CodeLineMasks>(windows);
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

void BlockSource::produce() {
    const std::uint64_t count = m_blocks.size();
    for (std::uint64_t k = 0;; ++k) {
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
    if (m_prefetch && !m_thread.joinable()) {
        try {
            m_thread = std::thread([this] { produce(); });
        } catch (const std::system_error&) {
            m_prefetch = false;  // no thread to be had: read on this one
        }
    }
    if (!m_prefetch) {
        m_current = m_blocks.front().get();
        fill(*m_current);
        return *m_current;
    }
    if (m_current) {  // given back
        m_released.fetch_add(1, std::memory_order_release);
        m_released.notify_one();
    }
    awaitFilled(m_taken + 1);
    m_current = m_blocks[m_taken % m_blocks.size()].get();
    ++m_taken;
    return *m_current;
}

}  // namespace velunt

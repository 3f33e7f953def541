#include "lines/block_source.h"

#include <algorithm>
#include <cerrno>
#include <new>
#include <system_error>

namespace velunt {

BlockSource::BlockSource(std::FILE* file, std::filesystem::path path, size_t blockSize,
                         bool prefetch, MaskVariant variant)
    : m_file(file),
      m_path(std::move(path)),
      m_blockSize(blockSize),
      m_prefetch(prefetch),
      m_variant(variant) {
    const size_t windows = (blockSize + 63) / 64;
    for (int i = 0; i < (prefetch ? 3 : 1); ++i) {
        auto block = std::make_unique<Block>();
        block->data.resize(blockSize + 64);
        block->lineEnds.resize(windows);
        block->objectStarts.resize(windows);
        block->keyCandidates.resize(windows);
        m_free.push_back(block.get());
        m_blocks.push_back(std::move(block));
    }
    m_ready.reserve(m_blocks.size());  // the prefetch thread never allocates for it
}

void BlockSource::pairGroupCodes() {
    m_pairing.emplace();
    for (const auto& block : m_blocks) {
        block->relaid.assign(block->lineEnds.size(), 0);
        block->codeLines.resize(block->lineEnds.size());
    }
}

BlockSource::~BlockSource() {
    if (!m_thread.joinable()) return;
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_changed.notify_all();
    m_thread.join();
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
    ComputeWindowMasks(m_variant, block.data.data(), n, m_lineStartsAtBlock, m_shape,
                       block.lineEnds.data(), block.objectStarts.data(), block.keyCandidates.data(),
                       m_pairing ? block.codeLines.data() : nullptr);
    if (m_pairing) {
        if (block.hasRelaid) std::fill(block.relaid.begin(), block.relaid.end(), 0);
        block.hasRelaid = m_pairing->scanBlock(block.data.data(), n, block.lineEnds.data(),
                                               block.codeLines.data(), block.objectStarts.data(),
                                               block.keyCandidates.data(), block.relaid.data());
    }
    const char last = block.data[n - 1];
    m_lineStartsAtBlock = last == '\r' || last == '\n';
}

void BlockSource::produce() {
    for (;;) {
        Block* block;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_stop || !m_free.empty(); });
            if (m_stop) return;
            block = m_free.back();
            m_free.pop_back();
        }
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
        const bool last = block->length == 0;
        {
            std::lock_guard lock(m_mutex);
            m_ready.push_back(block);
        }
        m_changed.notify_all();
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
    std::unique_lock lock(m_mutex);
    if (m_current) {
        m_free.push_back(m_current);
        m_changed.notify_all();
    }
    m_changed.wait(lock, [&] { return m_readyFront < m_ready.size(); });
    m_current = m_ready[m_readyFront++];
    if (m_readyFront == m_ready.size()) {
        m_ready.clear();
        m_readyFront = 0;
    }
    return *m_current;
}

}  // namespace velunt

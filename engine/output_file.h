#pragma once
// The output table while a run writes it: locked and then emptied when
// opened, then appended to. Lines are collected and handed to the operating
// system whole, in batches: when the buffer is full, when flushIfDue() finds
// a line waiting for about 100 ms, and at flush(). A failing or short write
// cuts the file back to its last whole line and raises the mapped runtime
// error (61 for a full disk ...), so the table never ends in part of a line.
// The lock (advisory, base/file_lock.h) is held until close(): a second run
// that opens the same table stops with 70 before emptying it.
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "base/zeroed_region.h"

namespace velunt {

class OutputFile {
public:
    static constexpr size_t kBufferSize = size_t{1} << 20;
    static constexpr std::chrono::milliseconds kMaxDelay{100};
    // The clock a line's wait is measured on; a test passes one it sets.
    using Clock = std::chrono::steady_clock::time_point (*)();

    // Creates `path`, or empties it once no other run holds its lock.
    explicit OutputFile(std::filesystem::path path, Clock clock = std::chrono::steady_clock::now);

    // Room for up to `size` bytes of whole lines right in the buffer, for a
    // caller that writes a line in place and then calls lineWritten() with
    // its end; null when `size` is more than the buffer holds.
    char* lineRoom(size_t size) {
        // Nearly always: a line waits already and this one fits behind it.
        if (m_used != 0 && size <= m_capacity - m_used) [[likely]]
            return m_buffer + m_used;
        return lineRoomAfterFlush(size);
    }
    void lineWritten(const char* end) { m_used = static_cast<size_t>(end - m_buffer); }

    // Adds `bytes` as they are, without a line end (a byte-order mark).
    void append(std::string_view bytes);

    // Adds the line made of `fields` with `separator` between each two, and
    // CR LF.
    void appendLine(std::span<const std::string_view> fields, std::string_view separator = {});

    // Writes what waits when the oldest waiting line is older than kMaxDelay.
    void flushIfDue() {
        if (m_used != 0 && m_now() - m_waitingSince >= kMaxDelay) flush();
    }

    // Writes every waiting line.
    void flush();

    // Writes every waiting line and closes the file.
    void close();

private:
    char* lineRoomAfterFlush(size_t size);
    // Makes room for `size` more bytes when they fit in a full-size buffer:
    // grows the buffer to its full size first, then writes what waits.
    void makeRoom(size_t size);
    void grow();
    // `areWholeLines`: `bytes` end with a line end, and every CR LF in them
    // ends a line (so a short write keeps the lines it got through).
    void write(std::string_view bytes, bool areWholeLines);

    std::filesystem::path m_path;
    FileHandle m_file;
    // The buffer: first kFirstBufferSize bytes from the heap, enough for the
    // table of a small drawing and not zeroed (every byte is written before
    // it is read); kBufferSize in m_memory, on a large page where there is
    // one, once that is full. Growing writes nothing, so the file is written
    // in the same pieces either way.
    static constexpr size_t kFirstBufferSize = size_t{64} << 10;
    std::unique_ptr<char[]> m_firstBuffer;
    ZeroedRegion m_memory;
    char* m_buffer = nullptr;  // m_capacity bytes, m_used of them taken
    size_t m_capacity = 0;
    size_t m_used = 0;
    std::uint64_t m_wholeLines = 0;  // bytes in the file up to its last whole line
    Clock m_now;
    std::chrono::steady_clock::time_point m_waitingSince;
};

}  // namespace velunt

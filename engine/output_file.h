#pragma once
// The output table while a run writes it: created or emptied when opened,
// then appended to. Lines are collected and handed to the operating system
// whole, in batches: when the buffer is full, when flushIfDue() finds a line
// waiting for about 100 ms, and at flush(). A failing write raises the
// mapped runtime error (61 for a full disk ...).
#include <chrono>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"

namespace velunt {

class OutputFile {
public:
    static constexpr size_t kBufferSize = size_t{1} << 20;
    static constexpr std::chrono::milliseconds kMaxDelay{100};

    // Creates or empties `path`.
    explicit OutputFile(std::filesystem::path path);

    // Adds `bytes` as they are, without a line end (a byte-order mark).
    void append(std::string_view bytes);

    // Adds the line made of `pieces`, and CR LF.
    void appendLine(const std::vector<std::string_view>& pieces);

    // Writes what waits when the oldest waiting line is older than kMaxDelay.
    void flushIfDue() {
        if (m_used != 0 && std::chrono::steady_clock::now() - m_waitingSince >= kMaxDelay) flush();
    }

    // Writes every waiting line.
    void flush();

    // Writes every waiting line and closes the file.
    void close();

private:
    void write(std::string_view bytes);

    std::filesystem::path m_path;
    FileHandle m_file;
    std::unique_ptr<char[]> m_buffer;  // kBufferSize bytes, m_used of them taken
    size_t m_used = 0;
    std::chrono::steady_clock::time_point m_waitingSince;
};

}  // namespace velunt

#include "engine/output_file.h"

#include <cerrno>
#include <cstring>

#include "base/runtime_error.h"

namespace velunt {

OutputFile::OutputFile(std::filesystem::path path)
    : m_path(std::move(path)), m_file(OpenForWriting(m_path, "wb")) {
    // Our own buffer decides where writes end; the C library's would split
    // lines at arbitrary bytes.
    std::setvbuf(m_file.get(), nullptr, _IONBF, 0);
    m_buffer = std::make_unique<char[]>(kBufferSize);
}

void OutputFile::appendLine(const std::vector<std::string_view>& pieces) {
    size_t needed = 2;
    for (const std::string_view piece : pieces) needed += piece.size();
    if (m_used + needed > kBufferSize) flush();
    if (needed > kBufferSize) {  // longer than the buffer: straight through
        for (const std::string_view piece : pieces) write(piece);
        write("\r\n");
        return;
    }
    if (m_used == 0) m_waitingSince = std::chrono::steady_clock::now();
    char* out = m_buffer.get() + m_used;
    for (const std::string_view piece : pieces) {
        if (piece.empty()) continue;
        std::memcpy(out, piece.data(), piece.size());
        out += piece.size();
    }
    out[0] = '\r';
    out[1] = '\n';
    m_used += needed;
}

void OutputFile::append(std::string_view bytes) {
    if (bytes.empty()) return;
    if (m_used + bytes.size() > kBufferSize) flush();
    if (bytes.size() > kBufferSize) {
        write(bytes);
        return;
    }
    if (m_used == 0) m_waitingSince = std::chrono::steady_clock::now();
    std::memcpy(m_buffer.get() + m_used, bytes.data(), bytes.size());
    m_used += bytes.size();
}

void OutputFile::flush() {
    if (m_used == 0) return;
    const size_t used = m_used;
    m_used = 0;  // what fails to be written is not tried again
    write(std::string_view(m_buffer.get(), used));
}

void OutputFile::close() {
    if (!m_file) return;
    flush();
    std::FILE* file = m_file.release();
    errno = 0;
    if (std::fclose(file) != 0) throw FileErrorFromErrno(errno ? errno : EIO, m_path);
}

void OutputFile::write(std::string_view bytes) {
    if (bytes.empty()) return;
    errno = 0;
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), m_file.get());
    if (written != bytes.size()) {
        const int error = errno ? errno : EIO;
        throw FileErrorFromErrno(error, m_path);
    }
}

}  // namespace velunt

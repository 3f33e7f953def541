#include "engine/output_file.h"

#include <cerrno>
#include <cstring>

#include "base/copy_bytes.h"
#include "base/file_lock.h"
#include "base/runtime_error.h"

namespace velunt {

namespace {

std::string utf8(const std::filesystem::path& path) {
    const std::u8string name = path.u8string();
    return std::string(name.begin(), name.end());
}

}  // namespace

OutputFile::OutputFile(std::filesystem::path path, Clock clock)
    : m_path(std::move(path)),
      m_file(OpenForWriting(m_path, "ab", FileRole::Output)),
      m_now(clock) {
    // Our own buffer decides where writes end; the C library's would split
    // lines at arbitrary bytes.
    std::setvbuf(m_file.get(), nullptr, _IONBF, 0);
    // Opened for appending, so that nothing is emptied before the lock is ours.
    if (LockWholeFile(m_file.get()) == LockOutcome::kHeldElsewhere)
        throw RuntimeError{kPermissionDenied, "Zugriff verweigert: Die Tabelle " + utf8(m_path) +
                                                  " wird gerade von einem anderen Lauf "
                                                  "geschrieben."};
    errno = 0;
    if (!CutBack(m_file.get(), 0))
        throw FileErrorFromErrno(errno ? errno : EIO, m_path, FileRole::Output);
    m_firstBuffer = std::make_unique_for_overwrite<char[]>(kFirstBufferSize);
    m_buffer = m_firstBuffer.get();
    m_capacity = kFirstBufferSize;
}

void OutputFile::grow() {
    ZeroedRegion memory(ZeroedRegion::takenBytes(kBufferSize, 1));
    char* const buffer = memory.take<char>(kBufferSize).data();
    std::memcpy(buffer, m_buffer, m_used);
    m_memory = std::move(memory);
    m_firstBuffer.reset();
    m_buffer = buffer;
    m_capacity = kBufferSize;
}

void OutputFile::makeRoom(size_t size) {
    if (size <= m_capacity - m_used) return;
    if (m_capacity < kBufferSize) grow();
    if (size > m_capacity - m_used) flush();
}

void OutputFile::appendLine(std::span<const std::string_view> fields, std::string_view separator) {
    size_t needed = 2 + (fields.empty() ? 0 : separator.size() * (fields.size() - 1));
    for (const std::string_view field : fields) needed += field.size();
    makeRoom(needed);
    if (needed > kBufferSize) {  // longer than the buffer: straight through
        for (size_t i = 0; i < fields.size(); ++i) {
            if (i > 0) write(separator, false);
            write(fields[i], false);
        }
        write("\r\n", false);
        m_wholeLines += needed;
        return;
    }
    if (m_used == 0) m_waitingSince = m_now();
    char* out = m_buffer + m_used;
    for (size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) {
            CopyBytes(out, separator.data(), separator.size());
            out += separator.size();
        }
        CopyBytes(out, fields[i].data(), fields[i].size());
        out += fields[i].size();
    }
    out[0] = '\r';
    out[1] = '\n';
    m_used += needed;
}

char* OutputFile::lineRoomAfterFlush(size_t size) {
    makeRoom(size);
    if (size > kBufferSize) return nullptr;
    if (m_used == 0) m_waitingSince = m_now();
    return m_buffer + m_used;
}

void OutputFile::append(std::string_view bytes) {
    if (bytes.empty()) return;
    makeRoom(bytes.size());
    if (bytes.size() > kBufferSize) {
        write(bytes, false);
        return;
    }
    if (m_used == 0) m_waitingSince = m_now();
    std::memcpy(m_buffer + m_used, bytes.data(), bytes.size());
    m_used += bytes.size();
}

void OutputFile::flush() {
    if (m_used == 0) return;
    const size_t used = m_used;
    m_used = 0;  // what fails to be written is not tried again
    write(std::string_view(m_buffer, used), true);
    m_wholeLines += used;
}

void OutputFile::close() {
    if (!m_file) return;
    flush();
    std::FILE* file = m_file.release();
    errno = 0;
    if (std::fclose(file) != 0)
        throw FileErrorFromErrno(errno ? errno : EIO, m_path, FileRole::Output);
}

void OutputFile::write(std::string_view bytes, bool areWholeLines) {
    if (bytes.empty()) return;
    errno = 0;
    const size_t written = std::fwrite(bytes.data(), 1, bytes.size(), m_file.get());
    if (written != bytes.size()) {
        const int error = errno ? errno : EIO;
        // What did get written may end in part of a line: keep the whole
        // lines of it and cut off the rest. A failure to cut does not replace
        // the error that matters.
        std::uint64_t kept = m_wholeLines;
        if (areWholeLines) {
            const size_t lastEnd = bytes.substr(0, written).rfind("\r\n");
            if (lastEnd != std::string_view::npos) kept += lastEnd + 2;
        }
        CutBack(m_file.get(), kept);
        throw FileErrorFromErrno(error, m_path, FileRole::Output);
    }
}

}  // namespace velunt

#include "base/file_fault.h"

#include <atomic>
#include <cerrno>
#include <mutex>
#include <utility>
#include <vector>

namespace velunt {
namespace {

std::atomic<bool> g_armed{false};

}  // namespace

#if defined(__GLIBC__)

namespace {

FileFault g_fault;
std::atomic<std::uint64_t> g_calls{0};

// How many of `requested` bytes the next call in `onWrite` direction may
// move; -1 when it fails. Sets errno when it is fewer than requested.
long long allowance(bool onWrite, std::size_t requested) {
    if (!g_armed.load() || onWrite != g_fault.onWrite) return static_cast<long long>(requested);
    const std::uint64_t call = ++g_calls;
    if (call < g_fault.nth) return static_cast<long long>(requested);
    errno = g_fault.errnoValue != 0 ? g_fault.errnoValue : EIO;
    if (call == g_fault.nth && g_fault.comesShort && requested / 2 > 0)
        return static_cast<long long>(requested / 2);
    return -1;
}

ssize_t readWithFault(void* cookie, char* buffer, std::size_t size) {
    const long long allowed = allowance(false, size);
    if (allowed < 0) return -1;
    auto* file = static_cast<std::FILE*>(cookie);
    const std::size_t n = std::fread(buffer, 1, static_cast<std::size_t>(allowed), file);
    return n == 0 && std::ferror(file) ? -1 : static_cast<ssize_t>(n);
}

// A failed write moves nothing and says so by a short count (with errno):
// the C library would hand a cookie's -1 on as a count.
ssize_t writeWithFault(void* cookie, const char* buffer, std::size_t size) {
    const long long allowed = allowance(true, size);
    if (allowed <= 0) return 0;
    const int error = errno;
    const std::size_t n =
        std::fwrite(buffer, 1, static_cast<std::size_t>(allowed), static_cast<std::FILE*>(cookie));
    if (n == static_cast<std::size_t>(allowed)) errno = error;  // the fault's, when it came short
    return static_cast<ssize_t>(n);
}

// The streams handed out while armed, with the file each wraps.
std::mutex g_wrappedMutex;
std::vector<std::pair<std::FILE*, std::FILE*>> g_wrapped;

int closeWithFault(void* cookie) {
    {
        std::lock_guard lock(g_wrappedMutex);
        std::erase_if(g_wrapped, [&](const auto& entry) { return entry.second == cookie; });
    }
    return std::fclose(static_cast<std::FILE*>(cookie));
}

}  // namespace

bool ArmFileFault(const FileFault& fault) {
    g_fault = fault;
    g_calls = 0;
    g_armed = true;
    return true;
}

std::FILE* WithFileFault(std::FILE* file) {
    if (!g_armed.load() || !file) return file;
    std::setvbuf(file, nullptr, _IONBF, 0);  // what is written is on the disk at once
    std::FILE* wrapped =
        fopencookie(file, "r+", {readWithFault, writeWithFault, nullptr, closeWithFault});
    if (!wrapped) {
        std::fclose(file);
        return nullptr;
    }
    std::lock_guard lock(g_wrappedMutex);
    g_wrapped.emplace_back(wrapped, file);
    return wrapped;
}

std::FILE* FileBeneath(std::FILE* file) {
    std::lock_guard lock(g_wrappedMutex);
    for (const auto& [wrapped, beneath] : g_wrapped)
        if (wrapped == file) return beneath;
    return file;
}

#else

bool ArmFileFault(const FileFault&) { return false; }
std::FILE* WithFileFault(std::FILE* file) { return file; }
std::FILE* FileBeneath(std::FILE* file) { return file; }

#endif

void DisarmFileFault() { g_armed = false; }

}  // namespace velunt

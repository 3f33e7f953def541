#include "cli/batch.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <system_error>
#include <thread>
#include <unordered_map>

#include "base/runtime_error.h"
#include "cli/error_line.h"
#include "cli/interrupt.h"
#include "cli/run_lines.h"
#include "engine/extraction_run.h"

namespace velunt::cli {
namespace {

// Keeps the error of one item's run.
class KeptReport : public ErrorReport {
public:
    std::optional<RuntimeError> error;
    void show(const RuntimeError& e) override { error = e; }
};

// Paths resolved as std::filesystem::weakly_canonical() resolves them, with
// the real path of each folder looked up once: a file named in a folder that
// is there, and that is no link (or not there at all), resolves to that
// folder's real path and its name. A batch names hundreds of files in a few
// folders, and resolving each path part by part costs a system call per part.
class PathResolver {
public:
    std::filesystem::path operator()(const std::filesystem::path& path) {
        std::error_code ec;
        const std::filesystem::path name = path.filename();
        if (!name.empty() && name != "." && name != "..") {
            const auto status = std::filesystem::symlink_status(path, ec);
            const bool noLink = status.type() != std::filesystem::file_type::symlink &&
                                (!ec || status.type() == std::filesystem::file_type::not_found);
            if (noLink) {
                const std::filesystem::path* folder = realFolder(path.parent_path());
                if (folder) return *folder / name;
            }
        }
        return fullyResolved(path);
    }

private:
    static std::filesystem::path fullyResolved(const std::filesystem::path& path) {
        std::error_code ec;
        auto result = std::filesystem::weakly_canonical(path, ec);
        return ec ? std::filesystem::absolute(path, ec).lexically_normal() : result;
    }
    // Null when the folder is not there (or cannot be resolved).
    const std::filesystem::path* realFolder(const std::filesystem::path& folder) {
        const auto [entry, added] = m_folders.try_emplace(folder.native());
        if (added) {
            std::error_code ec;
            const auto real = std::filesystem::canonical(folder.empty() ? "." : folder, ec);
            if (!ec && std::filesystem::is_directory(real, ec)) entry->second = real;
        }
        return entry->second ? &*entry->second : nullptr;
    }
    std::unordered_map<std::filesystem::path::string_type, std::optional<std::filesystem::path>>
        m_folders;
};

// Refusals decided before any run: a table that is another of the drawings
// named, or that an earlier item writes too. (A table that is its own drawing
// is refused by the run itself.)
std::vector<std::optional<RuntimeError>> refusals(const std::vector<BatchItem>& items) {
    std::vector<std::optional<RuntimeError>> result(items.size());
    std::vector<std::filesystem::path> tables;
    // Each resolved drawing with the items naming it, in their order.
    std::unordered_map<std::filesystem::path::string_type, std::vector<size_t>> drawings;
    PathResolver resolve;
    for (size_t i = 0; i < items.size(); ++i) {
        drawings[resolve(items[i].drawing).native()].push_back(i);
        tables.push_back(resolve(items[i].table));
    }
    // The first item that writes each resolved table.
    std::unordered_map<std::filesystem::path::string_type, size_t> writers;
    for (size_t i = 0; i < items.size(); ++i) {
        const auto named = drawings.find(tables[i].native());
        if (named != drawings.end()) {
            for (const size_t j : named->second) {
                if (j == i) continue;
                result[i] =
                    RuntimeError{kPathFileAccessError, "Die Tabelle " + items[i].table.string() +
                                                           " würde die Zeichnung " + items[j].name +
                                                           " überschreiben."};
                break;
            }
        }
        if (result[i]) continue;
        const auto [writer, first] = writers.try_emplace(tables[i].native(), i);
        if (!first)
            result[i] = RuntimeError{kFileAlreadyExists, "Datei existiert bereits: die Tabelle " +
                                                             items[i].table.string() +
                                                             " schreibt schon die Zeichnung " +
                                                             items[writer->second].name + "."};
    }
    return result;
}

// Error 7, with its text when memory allows.
RuntimeError outOfMemory() noexcept {
    try {
        return MakeError(kOutOfMemory);
    } catch (const std::bad_alloc&) {
        return RuntimeError{kOutOfMemory, {}};
    }
}

// PrintError, or, when memory ran out for the line or for the error's text,
// the same line written without building it.
void printError(const std::string& name, const RuntimeError& error) {
    const bool textless = error.description.empty() && error.number == kOutOfMemory;
    try {
        if (!textless) return PrintError(name, error);
    } catch (const std::bad_alloc&) {
    }
    std::fprintf(stderr, "%s: Fehler: %d: %s\n", name.c_str(), error.number,
                 textless ? "Nicht genügend Speicher" : error.description.c_str());
}

class BatchProgress {
public:
    BatchProgress(size_t drawings, std::uint64_t totalBytes, bool show)
        : m_drawings(drawings), m_totalBytes(totalBytes), m_show(show) {}

    void add(std::uint64_t bytes, bool drawingDone) {
        if (!m_show) return;
        std::lock_guard lock(m_mutex);
        m_bytes += bytes;
        m_done += drawingDone;
        const auto now = std::chrono::steady_clock::now();
        if (!drawingDone && now - m_last < std::chrono::milliseconds(200)) return;
        m_last = now;
        std::fprintf(stderr, "\r%zu/%zu Zeichnungen, %llu/%llu MB", m_done, m_drawings,
                     static_cast<unsigned long long>(m_bytes >> 20),
                     static_cast<unsigned long long>(m_totalBytes >> 20));
        std::fflush(stderr);
        m_shown = true;
    }
    void clear() {
        std::lock_guard lock(m_mutex);
        clearLocked();
    }
    // Messages interleave with the progress line only through here.
    std::mutex& mutex() { return m_mutex; }
    void clearLocked() {
        if (m_shown) std::fprintf(stderr, "\r%-50s\r", "");
    }

private:
    size_t m_drawings;
    std::uint64_t m_totalBytes;
    bool m_show;
    std::mutex m_mutex;
    size_t m_done = 0;
    std::uint64_t m_bytes = 0;
    std::chrono::steady_clock::time_point m_last;
    bool m_shown = false;
};

// Reports bytes read by one run to the batch's progress.
class ItemObserver : public RunObserver {
public:
    explicit ItemObserver(BatchProgress& progress) : m_progress(progress) {}
    bool progress(std::uint64_t bytesRead, std::uint64_t) override {
        m_progress.add(bytesRead - m_reported, false);
        m_reported = bytesRead;
        return true;
    }

private:
    BatchProgress& m_progress;
    std::uint64_t m_reported = 0;
};

}  // namespace

std::vector<BatchItem> PlanBatch(const std::vector<std::string>& drawings,
                                 const std::filesystem::path& outDir) {
    std::vector<BatchItem> items;
    for (const std::string& name : drawings) {
        BatchItem item{name, std::filesystem::path(name), {}};
        std::filesystem::path table = item.drawing;
        table.replace_extension(".txt");
        item.table = outDir.empty() ? table : outDir / table.filename();
        items.push_back(std::move(item));
    }
    return items;
}

int RunBatch(const std::vector<BatchItem>& items, const RunSettings& base,
             const Configuration& config, int jobs, bool showProgress, bool verbose) {
    const auto refused = refusals(items);
    std::vector<std::optional<RuntimeError>> errors(items.size());
    std::vector<RunResult> results(items.size());
    std::vector<bool> finished(items.size(), false);

    // The sizes only serve the progress line.
    std::uint64_t totalBytes = 0;
    if (showProgress) {
        for (const BatchItem& item : items) {
            std::error_code ec;
            const auto size = std::filesystem::file_size(item.drawing, ec);
            if (!ec) totalBytes += size;
        }
    }
    BatchProgress progress(items.size(), totalBytes, showProgress);

    // Under `mutex`: the messages are written in the order named, as the
    // items finish, by the worker that finishes the item they wait for.
    std::mutex mutex;
    size_t nextReported = 0;
    int failed = 0;
    const auto report = [&](size_t i) {
        std::string lines;
        if (errors[i]) {
            ++failed;
            std::lock_guard printLock(progress.mutex());
            progress.clearLocked();
            printError(items[i].name, *errors[i]);
            return;
        }
        if (verbose)
            lines = VerboseLine(items[i].drawing, items[i].table, results[i].objectCount, config);
        lines += WarningLines(items[i].name, results[i], config, items[i].drawing);
        if (lines.empty()) return;
        std::lock_guard printLock(progress.mutex());
        progress.clearLocked();
        std::fputs(lines.c_str(), stderr);
    };
    std::atomic<size_t> nextItem{0};
    const auto runItem = [&](size_t i, RunResult& result) {
        std::optional<RuntimeError> error = refused[i];
        // After Ctrl+C no drawing is begun; its table stays as it was.
        if (!error && InterruptSignal() != 0)
            error = RuntimeError{kUserInterrupt,
                                 "Benutzerunterbrechung: nicht begonnen, die Tabelle blieb "
                                 "unverändert."};
        // The table's name is derived here, not chosen: a drawing that is
        // missing must not empty a file of that name.
        std::error_code ec;
        if (!error && !std::filesystem::exists(items[i].drawing, ec))
            error = FileErrorFromErrno(ENOENT, items[i].drawing, FileRole::Drawing);
        if (!error) {
            RunSettings settings = base;
            settings.dxfpath = items[i].drawing;
            settings.txtpath = items[i].table;
            KeptReport report;
            ItemObserver observer(progress);
            InterruptCheck interruptCheck(&observer);
            result = ExtractionRun(settings, config, report, &interruptCheck);
            error = report.error;
        }
        return error;
    };
    const auto worker = [&] {
        for (size_t i; (i = nextItem++) < items.size();) {
            // Memory can run out outside the run too (copying the settings,
            // keeping the error); that is this item's error 7.
            std::optional<RuntimeError> error;
            RunResult result;
            try {
                error = runItem(i, result);
            } catch (const std::bad_alloc&) {
                error = outOfMemory();
            }
            progress.add(0, true);
            std::lock_guard lock(mutex);
            errors[i] = std::move(error);
            results[i] = std::move(result);
            finished[i] = true;
            for (; nextReported < items.size() && finished[nextReported]; ++nextReported)
                report(nextReported);
        }
    };

    const size_t threadCount =
        std::min<size_t>(static_cast<size_t>(std::max(jobs, 1)), items.size());
    // Workers that cannot be started (a limit on threads or memory) leave
    // their share to those that could; this thread always works too.
    std::vector<std::thread> threads;
    try {
        threads.reserve(threadCount);
        for (size_t t = 1; t < threadCount; ++t) threads.emplace_back(worker);
    } catch (const std::system_error&) {
    } catch (const std::bad_alloc&) {
    }

    worker();
    for (std::thread& thread : threads) thread.join();
    progress.clear();
    if (items.size() > 1)
        std::fputs(BatchSummary(items.size(), static_cast<size_t>(failed)).c_str(), stderr);
    return failed;
}

}  // namespace velunt::cli

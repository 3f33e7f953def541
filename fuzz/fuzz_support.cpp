#include "fuzz_support.h"

#include <unistd.h>

#include <fstream>
#include <iterator>

namespace velunt::fuzz {

namespace fs = std::filesystem;

Scratch::Scratch()
    : m_path(fs::temp_directory_path() /
             ("velunt-fuzz-" + std::to_string(static_cast<long>(::getpid())))) {
    fs::create_directories(m_path);
}

Scratch::~Scratch() {
    std::error_code ec;
    fs::remove_all(m_path, ec);
}

const Scratch& scratch() {
    static const Scratch kScratch;
    return kScratch;
}

void writeBytes(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string readBytes(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

namespace {

size_t countOf(std::string_view text, std::string_view what) {
    size_t count = 0;
    for (size_t at = text.find(what); at != std::string_view::npos;
         at = text.find(what, at + what.size()))
        ++count;
    return count;
}

}  // namespace

bool refusedMarks(const RunSettings& settings) {
    return settings.separator.empty() ||
           (settings.replaceDecimalPoint &&
            (settings.decimalMark.empty() || settings.decimalMark == settings.separator));
}

std::string checkRunOutcome(const RunResult& result, const CollectingReport& report,
                            const fs::path& txtpath) {
    if (result.succeeded != report.errors.empty()) return "report count does not match result";
    if (report.errors.size() > 1) return "more than one error reported";
    if (!result.succeeded && report.errors.front().description.empty())
        return "error without description";
    std::error_code ec;
    if (!fs::exists(txtpath, ec)) {
        return result.succeeded ? "successful run left no output" : std::string();
    }
    const std::string output = readBytes(txtpath);
    if (!output.empty() && !output.ends_with("\r\n")) return "output ends inside a line";
    const size_t lines = countOf(output, "\r\n");
    if (countOf(output, "\r") != lines || countOf(output, "\n") != lines)
        return "stray CR or LF in the output";
    if (result.succeeded && static_cast<double>(lines) != result.objectCount + 1)
        return "output has " + std::to_string(lines) + " lines for " +
               std::to_string(result.objectCount) + " objects";
    return {};
}

}  // namespace velunt::fuzz

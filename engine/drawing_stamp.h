#pragma once
// Tells whether a drawing changed while it was read: its size and time of
// last change when the run began, compared with those at its end. Only
// regular files have them; a pipe or device is never judged.
#include <cstdint>
#include <filesystem>
#include <optional>

#include "base/runtime_error.h"

namespace velunt {

struct DrawingStamp {
    std::uint64_t size = 0;
    std::int64_t modifiedNanos = 0;
    bool operator==(const DrawingStamp&) const = default;
};

// The stamp of `path` (one look at it), or nullopt when it is no regular
// file (or cannot be looked at).
std::optional<DrawingStamp> StampOf(const std::filesystem::path& path);

// True when `path` was a regular file with stamp `before` and now has
// another stamp (or is gone).
bool DrawingChanged(const std::filesystem::path& path, const std::optional<DrawingStamp>& before);

// Error 57, saying that the drawing changed while it was read.
RuntimeError DrawingChangedError();

}  // namespace velunt

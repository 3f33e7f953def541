#pragma once
// A small reference of what the core does with velunt.ini and with the
// values it captures, written anew for the fuzz targets from the documented
// behaviour and sharing no code with the core, so that a target compares two
// independent readings. It judges only inputs it understands ("sure"); for
// the rest (hexadecimal column numbers, numbers beyond plain decimals, texts
// of 32 KB) a target checks the invariants alone.
#include <string>
#include <string_view>

#include "base/runtime_error.h"
#include "config/configuration.h"
#include "engine/run_settings.h"

namespace velunt::fuzz {

// The lines of `bytes`: ends at CR LF, a lone CR or a lone LF, no empty line
// after a final line end.
std::vector<std::string_view> ReferenceLines(std::string_view bytes);

struct ReferenceConfig {
    int error = 0;         // the number loading raises, 0 when it loads
    bool sure = true;      // false: the reference cannot tell
    Configuration config;  // table, column count and settings (when loaded)
};
ReferenceConfig ReferenceLoad(std::string_view ini);

// `value`, captured for `key`, as the run stores it; `sure` is cleared when
// the reference cannot tell. Errors are thrown as RuntimeError numbers.
std::string ReferenceTransform(std::string_view value, std::string_view key,
                               const RunSettings& settings, bool& sure);

}  // namespace velunt::fuzz

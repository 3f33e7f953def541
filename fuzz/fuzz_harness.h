#pragma once
// What each fuzz target does with one input, apart from the libFuzzer entry
// point, so that the regression tests replay stored inputs through the same
// code in the ordinary and the sanitizer builds.
//
// Each function returns the empty text when the input was handled soundly,
// else a description of the fault (a broken invariant). Crashes, sanitizer
// reports and exceptions other than RuntimeError escape as they are.
#include <cstddef>
#include <cstdint>
#include <string>

namespace velunt::fuzz {

// The whole input is a velunt.ini. It is loaded with a display that shows
// nothing; a file that loads is then used for a run over a small fixed
// drawing (paths are never taken from the input).
std::string FuzzConfigLoader(const std::uint8_t* data, std::size_t size);

// The first kRunOptionBytes bytes choose the run's options, the rest is the
// drawing, run with a small fixed configuration. Its error and table must be
// those of a plain line-by-line scan of the same drawing.
inline constexpr std::size_t kRunOptionBytes = 4;
std::string FuzzExtractionRun(const std::uint8_t* data, std::size_t size);

// The first two bytes choose the block size, whether to peek first, how
// often to skip to the next object start (or key), which keys the reader is
// told of and whether to take spilled lines over; the rest is split into
// lines by LineReader and by a plain byte loop, which must agree.
inline constexpr std::size_t kLineReaderControlBytes = 2;
std::string FuzzLineReader(const std::uint8_t* data, std::size_t size);

}  // namespace velunt::fuzz

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

// The first kRunOptionBytes bytes choose the run's options and the block
// size (the drawing is read on the calling thread), the rest is the
// drawing, run with a small fixed configuration. Its error and table must be
// those of a plain line-by-line scan of the same drawing.
inline constexpr std::size_t kRunOptionBytes = 4;
std::string FuzzExtractionRun(const std::uint8_t* data, std::size_t size);

// velunt.ini, then kPartSeparator, kRunOptionBytes option bytes and the
// drawing. The core's loader must agree with the reference's
// (fuzz_reference.h), and the run with the plain scan of the reference's
// configuration.
inline constexpr char kPartSeparator = '\x1e';
std::string FuzzIniAndRun(const std::uint8_t* data, std::size_t size);

// kFaultControlBytes bytes choose a fault (byte 0: bit 0 writes, else reads,
// bit 1 the call comes short, bits 2-3 EIO, ENOSPC, EFBIG, EDQUOT; bytes 1-2
// the failing call, from 1), the rest is an input of FuzzExtractionRun. The
// run under the fault must end as without it, or with the fault's number
// (or the error it meets without it) and a table of whole lines that are the
// first lines of the table without it.
inline constexpr std::size_t kFaultControlBytes = 3;
std::string FuzzFileFaults(const std::uint8_t* data, std::size_t size);

// The first two bytes choose the block size, whether to peek first, how
// often to skip to the next object start (or key), which keys the reader is
// told of and whether to take spilled lines over; the rest is split into
// lines by LineReader and by a plain byte loop, which must agree.
inline constexpr std::size_t kLineReaderControlBytes = 2;
std::string FuzzLineReader(const std::uint8_t* data, std::size_t size);

}  // namespace velunt::fuzz

// Writes synthetic DXF drawings for the throughput and memory figures of bench/run.sh.
//
//   gen_drawing big OUT MB        a survey-style drawing of at least MB MiB: a HEADER section,
//                                 then an ENTITIES section of TEXT (about half of all objects),
//                                 LINE, LWPOLYLINE, CIRCLE and INSERT with ATTRIB and SEQEND
//   gen_drawing longline OUT MB   a small drawing whose one TEXT value is a single line of
//                                 MB MiB, for the peak memory on an extreme line length
//   gen_drawing unpadded OUT MB   the objects of "big" for the same MB, with group codes
//                                 unpadded ("0", "10") and LF line ends, as some libraries
//                                 write them (about three quarters of the size)
//
// Group codes are right-aligned in three characters and every line ends with CR LF, the
// way CAD programs write an R2000+ ASCII DXF file with subclass markers. The content is
// pseudo-random from a fixed seed, so the same arguments always give the same bytes.
// On success it prints key=value statistics (bytes, lines, objects per type) to stdout;
// bench/run.sh keeps them beside the drawing and checks the extraction's line count with
// the number of TEXT objects.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

#include "dxf_writer.h"

namespace {

using gen::DxfWriter;
using gen::Random;

struct Counts {
    std::uint64_t text = 0, line = 0, lwpolyline = 0, circle = 0, insert = 0, attrib = 0,
                  seqend = 0;
    std::uint64_t objects() const {
        return text + line + lwpolyline + circle + insert + attrib + seqend;
    }
};

constexpr const char* kTextLayers[] = {"PUNKTNR",    "HOEHE",         "BAUM_TEXT",
                                       "KANAL_TEXT", "GEBAEUDE_TEXT", "0"};
constexpr const char* kLineLayers[] = {"BORD", "GEBAEUDE", "ZAUN", "FAHRBAHN", "MAUER", "0"};
constexpr const char* kWords[] = {"Baum", "Gully", "Hydrant",  "Schacht", "Laterne",  "Mast",
                                  "Zaun", "Tor",   "Schieber", "Poller",  "Gebaeude", "Bordstein"};
constexpr std::int64_t kEastMin = 4400000000;   // thousandths: Gauss-Krueger-like eastings
constexpr std::int64_t kNorthMin = 5700000000;  // and northings, a 30 km square
constexpr std::uint32_t kSpread = 30000000;

// Survey drawings keep nearby objects together; walking a point keeps the coordinates of
// consecutive objects close, like a real field book.
struct Cursor {
    std::int64_t east = kEastMin + kSpread / 2;
    std::int64_t north = kNorthMin + kSpread / 2;
    void step(Random& rnd) {
        east += static_cast<std::int64_t>(rnd.below(40001)) - 20000;
        north += static_cast<std::int64_t>(rnd.below(40001)) - 20000;
        if (east < kEastMin || east > kEastMin + kSpread) east = kEastMin + rnd.below(kSpread);
        if (north < kNorthMin || north > kNorthMin + kSpread)
            north = kNorthMin + rnd.below(kSpread);
    }
};

template <std::size_t N>
const char* pick(Random& rnd, const char* const (&list)[N]) {
    return list[rnd.below(N)];
}

void entityHead(DxfWriter& w, std::string_view type, std::uint64_t& handle, std::string_view owner,
                std::string_view layer) {
    w.str(0, type);
    w.hex(5, handle++);
    w.str(330, owner);
    w.str(100, "AcDbEntity");
    w.str(8, layer);
}

// The text of a TEXT object: mostly point numbers, some heights, diameters written with
// the %%c diameter sign, and short labels.
void textValue(DxfWriter& w, Random& rnd, std::uint64_t pointNumber) {
    char buf[64];
    int n;
    std::uint32_t kind = rnd.below(100);
    if (kind < 55) {
        n = std::snprintf(buf, sizeof buf, "%llu", static_cast<unsigned long long>(pointNumber));
    } else if (kind < 75) {
        unsigned cm = 10000 + rnd.below(20000);
        n = std::snprintf(buf, sizeof buf, "%u.%02u", cm / 100, cm % 100);
    } else if (kind < 88) {
        n = std::snprintf(buf, sizeof buf, "%%%%c%u", 10 + rnd.below(90));
    } else {
        n = std::snprintf(buf, sizeof buf, "%s %u", pick(rnd, kWords), 1 + rnd.below(99));
    }
    w.str(1, std::string_view(buf, static_cast<std::size_t>(n)));
}

void writeText(DxfWriter& w, Random& rnd, Cursor& at, std::uint64_t& handle,
               std::uint64_t pointNumber) {
    entityHead(w, "TEXT", handle, "1F", pick(rnd, kTextLayers));
    w.str(100, "AcDbText");
    w.real(10, at.east);
    w.real(20, at.north);
    w.real(30, 0);
    w.real(40, 250 + 250 * rnd.below(4));
    textValue(w, rnd, pointNumber);
    if (rnd.below(4) == 0) w.real(50, rnd.below(360000));
    w.str(100, "AcDbText");
}

void writeLine(DxfWriter& w, Random& rnd, Cursor& at, std::uint64_t& handle) {
    entityHead(w, "LINE", handle, "1F", pick(rnd, kLineLayers));
    w.str(100, "AcDbLine");
    w.real(10, at.east);
    w.real(20, at.north);
    w.real(30, 0);
    w.real(11, at.east + rnd.below(20001) - 10000);
    w.real(21, at.north + rnd.below(20001) - 10000);
    w.real(31, 0);
}

void writeLwPolyline(DxfWriter& w, Random& rnd, Cursor& at, std::uint64_t& handle) {
    entityHead(w, "LWPOLYLINE", handle, "1F", pick(rnd, kLineLayers));
    w.str(100, "AcDbPolyline");
    int vertices = 3 + static_cast<int>(rnd.below(8));
    w.integer(90, vertices, 9);
    w.integer(70, rnd.below(2), 6);
    w.real(43, 0);
    std::int64_t e = at.east, n = at.north;
    for (int i = 0; i < vertices; ++i) {
        w.real(10, e);
        w.real(20, n);
        e += static_cast<std::int64_t>(rnd.below(30001)) - 15000;
        n += static_cast<std::int64_t>(rnd.below(30001)) - 15000;
    }
}

void writeCircle(DxfWriter& w, Random& rnd, Cursor& at, std::uint64_t& handle) {
    entityHead(w, "CIRCLE", handle, "1F", pick(rnd, kLineLayers));
    w.str(100, "AcDbCircle");
    w.real(10, at.east);
    w.real(20, at.north);
    w.real(30, 0);
    w.real(40, 100 + rnd.below(5000));
}

// An INSERT of a survey point block with its attributes, closed by SEQEND.
void writeInsert(DxfWriter& w, Random& rnd, Cursor& at, std::uint64_t& handle,
                 std::uint64_t pointNumber, Counts& counts) {
    static constexpr const char* kBlocks[] = {"VP_PUNKT", "BAUM", "SCHACHT", "GULLY"};
    static constexpr const char* kTags[] = {"PUNKTNR", "HOEHE", "ART"};
    char owner[24];
    std::snprintf(owner, sizeof owner, "%llX", static_cast<unsigned long long>(handle));
    entityHead(w, "INSERT", handle, "1F", "VERMESSUNG");
    w.str(100, "AcDbBlockReference");
    w.integer(66, 1, 6);
    w.str(2, pick(rnd, kBlocks));
    w.real(10, at.east);
    w.real(20, at.north);
    w.real(30, 0);
    if (rnd.below(3) == 0) w.real(50, rnd.below(360000));
    ++counts.insert;

    int attributes = 1 + static_cast<int>(rnd.below(3));
    for (int i = 0; i < attributes; ++i) {
        entityHead(w, "ATTRIB", handle, owner, "VERMESSUNG_ATT");
        w.str(100, "AcDbText");
        w.real(10, at.east + 500);
        w.real(20, at.north + 500 - 600 * i);
        w.real(30, 0);
        w.real(40, 250);
        char value[32];
        int n = i == 1 ? std::snprintf(value, sizeof value, "%u.%02u", 100 + rnd.below(200),
                                       rnd.below(100))
                       : std::snprintf(value, sizeof value, "%llu",
                                       static_cast<unsigned long long>(pointNumber));
        w.str(1, std::string_view(value, static_cast<std::size_t>(n)));
        w.str(100, "AcDbAttribute");
        w.str(2, kTags[i]);
        w.integer(70, 0, 6);
        ++counts.attrib;
    }
    entityHead(w, "SEQEND", handle, owner, "VERMESSUNG");
    ++counts.seqend;
}

void writeHeader(DxfWriter& w) {
    w.str(0, "SECTION");
    w.str(2, "HEADER");
    w.str(9, "$ACADVER");
    w.str(1, "AC1018");
    w.str(9, "$DWGCODEPAGE");
    w.str(3, "ANSI_1252");
    w.str(9, "$INSBASE");
    w.real(10, 0);
    w.real(20, 0);
    w.real(30, 0);
    w.str(9, "$EXTMIN");
    w.real(10, kEastMin);
    w.real(20, kNorthMin);
    w.real(30, 0);
    w.str(9, "$EXTMAX");
    w.real(10, kEastMin + kSpread);
    w.real(20, kNorthMin + kSpread);
    w.real(30, 0);
    w.str(9, "$LUNITS");
    w.integer(70, 2, 6);
    w.str(9, "$LUPREC");
    w.integer(70, 3, 6);
    w.str(9, "$TEXTSIZE");
    w.real(40, 250);
    w.str(9, "$TEXTSTYLE");
    w.str(7, "Standard");
    w.str(9, "$CLAYER");
    w.str(8, "0");
    w.str(9, "$HANDSEED");
    w.str(5, "FFFFFFFF");
    w.str(0, "ENDSEC");
}

void writeTail(DxfWriter& w) {
    w.str(0, "ENDSEC");
    w.str(0, "EOF");
}

// Objects until the file has reached `targetBytes`; TEXT takes about half of all objects
// (an INSERT brings on average four: itself, two ATTRIBs and a SEQEND).
void writeBig(DxfWriter& w, std::uint64_t targetBytes, Counts& counts) {
    Random rnd(0x5645'4C55'4E54'0001ull);
    Cursor at;
    std::uint64_t handle = 0x2F0;
    std::uint64_t pointNumber = 1000;
    writeHeader(w);
    w.str(0, "SECTION");
    w.str(2, "ENTITIES");
    while (w.standardBytes() < targetBytes) {
        at.step(rnd);
        std::uint32_t kind = rnd.below(100);
        if (kind < 60) {
            writeText(w, rnd, at, handle, pointNumber++);
            ++counts.text;
        } else if (kind < 74) {
            writeLine(w, rnd, at, handle);
            ++counts.line;
        } else if (kind < 85) {
            writeLwPolyline(w, rnd, at, handle);
            ++counts.lwpolyline;
        } else if (kind < 93) {
            writeCircle(w, rnd, at, handle);
            ++counts.circle;
        } else {
            writeInsert(w, rnd, at, handle, pointNumber++, counts);
        }
    }
    writeTail(w);
}

// A few ordinary objects around one TEXT whose "  1" value is a single line of
// `valueBytes` letters, digits and blanks: no "%%c" and no ".", so no value
// transformation applies and only the line length matters.
void writeLongLine(DxfWriter& w, std::uint64_t valueBytes, Counts& counts) {
    Random rnd(0x5645'4C55'4E54'0002ull);
    Cursor at;
    std::uint64_t handle = 0x2F0;
    writeHeader(w);
    w.str(0, "SECTION");
    w.str(2, "ENTITIES");
    for (int i = 0; i < 3; ++i) {
        at.step(rnd);
        writeText(w, rnd, at, handle, 1000 + i);
        ++counts.text;
        writeLine(w, rnd, at, handle);
        ++counts.line;
    }
    at.step(rnd);
    entityHead(w, "TEXT", handle, "1F", "BESCHRIFTUNG");
    w.str(100, "AcDbText");
    w.real(10, at.east);
    w.real(20, at.north);
    w.real(30, 0);
    w.real(40, 250);
    w.code(1);
    std::string chunk;
    for (int i = 0; chunk.size() < (1u << 20); ++i) {
        chunk += "Langer Text ";
        chunk += std::to_string(i);
        chunk += ' ';
    }
    while (valueBytes > 0) {
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(valueBytes, chunk.size()));
        w.raw(std::string_view(chunk.data(), n));
        valueBytes -= n;
    }
    w.endLine();
    w.str(100, "AcDbText");
    ++counts.text;
    for (int i = 0; i < 3; ++i) {
        at.step(rnd);
        writeCircle(w, rnd, at, handle);
        ++counts.circle;
        writeText(w, rnd, at, handle, 2000 + i);
        ++counts.text;
    }
    writeTail(w);
}

int usage() {
    std::fprintf(stderr, "usage: gen_drawing big|longline|unpadded OUT MB\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) return usage();
    const std::string mode = argv[1];
    const char* outPath = argv[2];
    char* end = nullptr;
    const unsigned long long mb = std::strtoull(argv[3], &end, 10);
    if (*end != '\0' || mb == 0 || (mode != "big" && mode != "longline" && mode != "unpadded"))
        return usage();

    std::FILE* file = std::fopen(outPath, "wb");
    if (file == nullptr) {
        std::perror(outPath);
        return 1;
    }
    std::setvbuf(file, nullptr, _IONBF, 0);  // DxfWriter already writes whole blocks

    Counts counts;
    DxfWriter w(file, mode == "unpadded");
    if (mode == "big" || mode == "unpadded") {
        writeBig(w, mb << 20, counts);
    } else {
        writeLongLine(w, mb << 20, counts);
    }
    const bool ok = w.finish();
    if (std::fclose(file) != 0 || !ok) {
        std::fprintf(stderr, "gen_drawing: writing %s failed\n", outPath);
        return 1;
    }

    std::printf(
        "bytes=%llu\nlines=%llu\nobjects=%llu\ntext_objects=%llu\nline_objects=%llu\n"
        "lwpolyline_objects=%llu\ncircle_objects=%llu\ninsert_objects=%llu\n"
        "attrib_objects=%llu\nseqend_objects=%llu\n",
        static_cast<unsigned long long>(w.bytes()), static_cast<unsigned long long>(w.lines()),
        static_cast<unsigned long long>(counts.objects()),
        static_cast<unsigned long long>(counts.text), static_cast<unsigned long long>(counts.line),
        static_cast<unsigned long long>(counts.lwpolyline),
        static_cast<unsigned long long>(counts.circle),
        static_cast<unsigned long long>(counts.insert),
        static_cast<unsigned long long>(counts.attrib),
        static_cast<unsigned long long>(counts.seqend));
    return 0;
}

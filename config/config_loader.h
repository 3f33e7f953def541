#pragma once
// Reads velunt.ini into the column table and the settings, and tells the
// window (or whatever stands in for it) what to show.
#include <filesystem>
#include <string_view>

#include "config/configuration.h"

namespace velunt {

// What loading shows. Texts are the file's bytes; `Configuration::encoding`
// says how to read them and is set before the first call.
class ConfigDisplay {
public:
    virtual ~ConfigDisplay() = default;
    virtual void clearList1() = 0;                         // once, after counting the block
    virtual void addList1Item(std::string_view line) = 0;  // each column line, in file order
    virtual void setLabel2(std::string_view caption) = 0;  // dxfpath
    virtual void setLabel4(std::string_view caption) = 0;  // txtpath
    virtual void setLabel7(std::string_view caption) = 0;  // masterkey
    virtual void setText1(std::string_view text) = 0;      // dezzeich, "." when empty
    virtual void setText2(std::string_view text) = 0;      // trennzeich, ";" when empty
};

// Loads `iniPath` into `config` in three passes (counting the [Spalten]
// block, reading it, reading the settings lines). Lines end at CR LF, CR or
// LF; a UTF-8 byte-order mark at the start is skipped. Raises RuntimeError:
// 53 when the file is missing, 5 for a column line with fewer than two bars,
// 6 for overflows, 62 when "[Spalten]" is the last line, 9 for a third
// header line.
void ConfigLoader(const std::filesystem::path& iniPath, Configuration& config,
                  ConfigDisplay& display);

}  // namespace velunt

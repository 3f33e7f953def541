#pragma once
// The run's one pass over the drawing's lines: finds the objects of the
// master type, captures the values of the table's keys and writes one line
// per object (after the header line) to the output file.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/configuration.h"
#include "engine/extraction_run.h"
#include "engine/output_file.h"
#include "engine/record_line.h"
#include "engine/run_interfaces.h"
#include "engine/run_settings.h"
#include "engine/section_filter.h"
#include "engine/table_text.h"
#include "engine/type_counts.h"
#include "engine/value_transform.h"
#include "lines/line_matcher.h"
#include "lines/line_reader.h"

namespace velunt {

// `keys` are the table's keys as the reader hands out their lines; `header`
// the column descriptions; `tableText`, when given, converts the values.
class Scan : private BlockListener {
public:
    Scan(const RunSettings& settings, const Configuration& config, LineReader& reader,
         OutputFile& output, RunObserver* observer, std::uint64_t totalBytes, TableText* tableText,
         const std::vector<std::string>& header, const std::vector<std::string>& keys);
    ~Scan() override { m_reader.setBlockListener(nullptr); }

    double run();

    // Filled in by run(), for the warnings after a run that found nothing.
    void results(RunResult& result) const;

private:
    void readRequired(std::string_view& line);

    [[noreturn]] void throwCutDrawing() const;

    void capture(std::string_view value, int index);

    // A value line that lies in the block, with the reader's readable slack
    // after it. The usual cases write into the room the slot's earlier
    // values left (its text beyond the view is stale): the value as read, or
    // a number changed on its digits.
    void captureLine(std::string_view value, int index);

    // A very long value's room is given back at the next object.
    void noteLargeSlot(const std::string& slot);

    // Gives a short text in `slot` the bytes a line may read past it (a long
    // one, maybe moved in whole, is not copied for it); returns the text's
    // size.
    static size_t padSlot(std::string& slot);

    // The same in the table's encoding; values that are the same in every
    // encoding skip the conversion.
    void captureConverted(std::string_view value, std::string& slot, Shift shift);

    void objectBoundary();

    // Before the first object the texts are still the column descriptions,
    // so the line built then is the header.
    void writeLine(bool atObjectStart);

    void blockRead(std::uint64_t bytesRead) override;

    const RunSettings& m_settings;
    const Configuration& m_config;
    LineReader& m_reader;
    OutputFile& m_output;
    RunObserver* m_observer;
    std::uint64_t m_totalBytes;
    std::vector<int> m_fieldOrder;
    LineMatcher m_masterkey;
    LineMatcher m_objectStart{"  0"};
    std::vector<LineMatcher> m_keys;
    std::vector<std::string> m_values;            // room for the current object's values
    std::vector<std::string_view> m_views;        // the values themselves (in m_values)
    std::vector<std::string_view> m_headerViews;  // the column descriptions
    std::vector<char> m_filled;                   // per slot: captured in some object
    TypeCounter m_types;
    TableText* m_tableText;  // null: values pass as read
    std::string m_converted;
    ValueTransform m_transform;
    std::vector<Shift> m_shifts;  // per key
    std::optional<SectionFilter> m_section;
    const std::vector<std::string_view>* m_current;  // the header, then m_views
    size_t m_textBytes = 0;                          // in all texts of *m_current
    RecordLine m_line;
    FieldQuoting m_quoting{m_settings.quoteFields};
    // Each stop of a skip is "  0" or the awaited key, and a type line can be
    // no key: run() may take its steps on a cursor.
    bool m_inBlockWalk = false;
    bool m_largeSlot = false;  // a slot of m_values holds a very long value's room
    double m_objectCounter = 0;
};

}  // namespace velunt

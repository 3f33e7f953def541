#include "engine/record_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace velunt {
namespace {

ColumnTable tableWithColumns(std::vector<std::int16_t> columns) {
    ColumnTable table;
    table.resize(columns.size() + 1);
    for (size_t i = 0; i < columns.size(); ++i) table.columns[i] = columns[i];
    return table;
}

TEST(FieldOrder, TakesTheFirstEntryOfEachColumnInRange) {
    struct Case {
        std::vector<std::int16_t> columns;
        std::vector<int> order;
    };
    const Case kCases[] = {
        {{1, 2, 3}, {0, 1, 2}}, {{1, 3, 0}, {0, 1}},  // no entry for 2: no empty field
        {{1, 2, 5}, {0, 1}},                          // 5 is above columnCount
        {{2, 1}, {1, 0}},                             // table order differs from column order
        {{1, 1, 2}, {0, 2}},                          // a repeated number: the earlier entry
        {{-1, 0, 4}, {}},       {{}, {}},
    };
    for (const Case& c : kCases) {
        const int count = static_cast<int>(c.columns.size());
        EXPECT_EQ(FieldOrder(tableWithColumns(c.columns), count), c.order);
    }
}

TEST(BuildRecordLine, JoinsTrimmedFieldsAndTheCounter) {
    const std::vector<std::string_view> texts = {" RW ", "\tHW", " a b ", ""};
    struct Case {
        std::vector<int> order;
        const char* separator;
        bool addCounter;
        bool atObjectStart;
        double counter;
        const char* line;
    };
    const Case kCases[] = {
        {{0, 1, 2}, ";", false, true, 0, "RW;\tHW;a b"},
        {{0, 1, 2}, ";", true, true, 0, "RW;\tHW;a b;Index"},
        {{0, 1, 2}, ";", true, false, 0, "RW;\tHW;a b"},  // final line, no object
        {{0, 1, 2}, ";", true, true, 3, "RW;\tHW;a b;3"},
        {{0, 1, 2}, ";", true, false, 12345678, "RW;\tHW;a b;12345678"},
        {{2, 0}, "", false, true, 0, "a bRW"},
        {{0, 3}, " | ", false, true, 0, "RW | "},
        {{}, ";", true, true, 0, ";Index"},
        {{}, ";", true, false, 2, ";2"},
        {{}, ";", false, false, 2, ""},
    };
    RecordLine line;
    line.fields = {"left over"};
    FieldQuoting quoting;
    for (const Case& c : kCases) {
        BuildRecordLine(texts, c.order, c.separator, c.addCounter, c.atObjectStart, c.counter,
                        quoting, line);
        EXPECT_EQ(line.joined(), c.line);
        EXPECT_EQ(line.size(), std::string_view(c.line).size());
        // Written in one pass, the same line, within the room asked for.
        std::string_view counter;
        RecordLine other;
        const bool withCounter =
            CounterColumn(c.addCounter, c.atObjectStart, c.counter, other, counter);
        size_t textBytes = 0;
        for (const std::string_view text : texts) textBytes += text.size();
        const size_t bound =
            RecordLineRoom(textBytes, c.order.size(), c.separator, counter, quoting);
        std::string written(bound + 16, '#');
        const char* end = WriteRecordLine(texts, c.order, c.separator, withCounter, counter,
                                          quoting, c.counter, written.data());
        EXPECT_LE(static_cast<size_t>(end - written.data()), bound);
        written.resize(static_cast<size_t>(end - written.data()));
        EXPECT_EQ(written, std::string(c.line) + "\r\n");
    }
}

// Counting up moves the digits on in place; other steps write them anew.
TEST(BuildRecordLine, CountsAcrossEveryCarry) {
    RecordLine line;
    std::vector<double> counters;
    for (double c = 1; c <= 1100; ++c) counters.push_back(c);
    for (const double c : {99.0, 7.0, 8.0, 999999.0, 1000000.0, 1000001.0, 10.0})
        counters.push_back(c);
    FieldQuoting quoting;
    for (const double c : counters) {
        BuildRecordLine({}, {}, ";", true, false, c, quoting, line);
        std::string expected = ";";
        expected += std::to_string(static_cast<long long>(c));
        ASSERT_EQ(line.joined(), expected);
    }
}

// The padded writer copies short fields as 16 bytes and looks for the
// separator in them its own way: on random fields of every length up to 40,
// spaces at either end, separators and quotes anywhere, empty ones and every
// field order, quoting on or off, it must write and count what the plain
// writer does, within the same room.
TEST(WritePaddedRecordLine, WritesWhatThePlainWriterWrites) {
    std::mt19937 random(11);
    for (int round = 0; round < 3000; ++round) {
        const size_t count = random() % 9;
        // Each text in an allocation of its own, padded only when short, so
        // that the address sanitizer sees any read past what is promised.
        std::vector<std::unique_ptr<char[]>> storage(count);
        std::vector<std::string_view> texts(count);
        size_t textBytes = 0;
        for (size_t i = 0; i < count; ++i) {
            std::string text(random() % 41, 'x');
            for (char& c : text) c = "ab ,.;0123456\"|89"[random() % 16];
            if (random() % 3 == 0 && !text.empty()) text.front() = ' ';
            if (random() % 3 == 0 && !text.empty()) text.back() = ' ';
            const size_t padding = text.size() <= kTextPadding ? kTextPadding : 0;
            storage[i] = std::make_unique<char[]>(text.size() + padding);
            std::memcpy(storage[i].get(), text.data(), text.size());
            texts[i] = std::string_view(storage[i].get(), text.size());
            textBytes += text.size();
        }
        std::vector<int> order;
        for (size_t i = 0; i < count; ++i)
            if (random() % 4 != 0) order.push_back(static_cast<int>(i));
        std::shuffle(order.begin(), order.end(), random);
        const std::string_view separator = random() % 5 == 0 ? " | " : ";";
        const bool withCounter = random() % 2 == 0;
        const std::string_view counter = withCounter ? "12345" : "";
        FieldQuoting plainQuoting, fastQuoting;
        plainQuoting.quote = fastQuoting.quote = random() % 2 == 0;

        const size_t bound =
            RecordLineRoom(textBytes, order.size(), separator, counter, plainQuoting);
        std::string plain(bound, '?');
        std::string fast(bound + kTextPadding, '?');
        plain.resize(
            static_cast<size_t>(WriteRecordLine(texts, order, separator, withCounter, counter,
                                                plainQuoting, round, plain.data()) -
                                plain.data()));
        fast.resize(
            static_cast<size_t>(WritePaddedRecordLine(texts, order, separator, withCounter, counter,
                                                      fastQuoting, round, fast.data()) -
                                fast.data()));
        ASSERT_EQ(fast, plain) << "round " << round;
        const SeparatorFields& p = plainQuoting.separatorFields;
        const SeparatorFields& f = fastQuoting.separatorFields;
        ASSERT_EQ(f.count, p.count) << "round " << round;
        ASSERT_EQ(f.firstColumn, p.firstColumn) << "round " << round;
    }
}

// A field with the separator or a quote goes in quotes, its quotes doubled,
// in the header as in the values; every other field, and the counter, as
// it is. Each writer quotes alike, and with quoting off counts instead.
TEST(WriteRecordLine, QuotesFieldsHoldingTheSeparatorOrAQuote) {
    struct Case {
        std::vector<std::string_view> texts;
        const char* separator;
        const char* quoted;      // the line with quoting on
        double separatorFields;  // counted with it off
        int firstColumn;
    };
    const Case kCases[] = {
        {{"a;b", "c"}, ";", "\"a;b\";c;7", 1, 1},
        {{"Zoll \"6\"", " ;x "}, ";", "\"Zoll \"\"6\"\"\";\";x\";7", 1, 2},  // trimmed first
        {{"\"", ""}, ";", "\"\"\"\";;7", 0, 0},
        {{"a | b", "a|b"}, " | ", "\"a | b\" | a|b | 7", 1, 1},  // the whole separator only
        {{"1,5", "x\ty"}, "\t", "1,5\t\"x\ty\"\t7", 1, 2},
        {{"Str. 5", "12.5"}, ";", "Str. 5;12.5;7", 0, 0},
    };
    for (const Case& c : kCases) {
        const std::vector<int> order = {0, 1};
        for (const bool quote : {true, false}) {
            FieldQuoting quoting{quote};
            RecordLine line;
            BuildRecordLine(c.texts, order, c.separator, true, false, 7, quoting, line);
            std::string_view counter;
            CounterColumn(true, false, 7, line, counter);
            const size_t textBytes = c.texts[0].size() + c.texts[1].size();
            std::string written(RecordLineRoom(textBytes, 2, c.separator, counter, quoting), '#');
            written.resize(
                static_cast<size_t>(WriteRecordLine(c.texts, order, c.separator, true, counter,
                                                    quoting, 7, written.data()) -
                                    written.data()));
            if (quote) {
                EXPECT_EQ(line.joined(), c.quoted);
                EXPECT_EQ(written, std::string(c.quoted) + "\r\n");
                EXPECT_EQ(quoting.separatorFields.count, 0);
            } else {
                const std::string asToday = std::string(TrimSpaces(c.texts[0])) + c.separator +
                                            std::string(TrimSpaces(c.texts[1])) + c.separator +
                                            "7\r\n";
                EXPECT_EQ(written, asToday);
                // Counted once by each writer.
                EXPECT_EQ(quoting.separatorFields.count, 2 * c.separatorFields) << c.quoted;
                EXPECT_EQ(quoting.separatorFields.firstColumn, c.firstColumn) << c.quoted;
                if (c.separatorFields > 0) {
                    EXPECT_EQ(quoting.separatorFields.firstRow, 7);
                }
            }
        }
    }
}

}  // namespace
}  // namespace velunt

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
    for (const Case& c : kCases) {
        BuildRecordLine(texts, c.order, c.separator, c.addCounter, c.atObjectStart, c.counter,
                        line);
        EXPECT_EQ(line.joined(), c.line);
        EXPECT_EQ(line.size(), std::string_view(c.line).size());
        // Written in one pass, the same line, within the room asked for.
        std::string_view counter;
        RecordLine other;
        const bool withCounter =
            CounterColumn(c.addCounter, c.atObjectStart, c.counter, other, counter);
        size_t textBytes = 0;
        for (const std::string_view text : texts) textBytes += text.size();
        const size_t bound = RecordLineRoom(textBytes, c.order.size(), c.separator, counter);
        std::string written(bound + 16, '#');
        const char* end =
            WriteRecordLine(texts, c.order, c.separator, withCounter, counter, written.data());
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
    for (const double c : counters) {
        BuildRecordLine({}, {}, ";", true, false, c, line);
        std::string expected = ";";
        expected += std::to_string(static_cast<long long>(c));
        ASSERT_EQ(line.joined(), expected);
    }
}

// The padded writer copies short fields as 16 bytes: on random fields of
// every length up to 40, spaces at either end, empty ones and every field
// order, it must write what the plain writer writes, within the same room.
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
            for (char& c : text) c = "ab ,.;0123456789"[random() % 16];
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

        const size_t bound = RecordLineRoom(textBytes, order.size(), separator, counter);
        std::string plain(bound, '?');
        std::string fast(bound + kTextPadding, '?');
        plain.resize(static_cast<size_t>(
            WriteRecordLine(texts, order, separator, withCounter, counter, plain.data()) -
            plain.data()));
        fast.resize(static_cast<size_t>(
            WritePaddedRecordLine(texts, order, separator, withCounter, counter, fast.data()) -
            fast.data()));
        ASSERT_EQ(fast, plain) << "round " << round;
    }
}

}  // namespace
}  // namespace velunt

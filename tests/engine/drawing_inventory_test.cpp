// The inventory of a drawing counts objects by the run's rules, and the
// velunt.ini drawn up from it awaits only keys every object has in order.
#include "engine/drawing_inventory.h"

#include <gtest/gtest.h>

#include "base/runtime_error.h"
#include "config/config_loader.h"
#include "engine/ini_draft.h"
#include "test_files.h"

namespace velunt {
namespace {

using testing::TempDir;
using testing::WriteFile;

// Three TEXT objects, one in BLOCKS and two in ENTITIES. The last holds 10
// before 8 and the value line "  0", which a run takes for an object start
// (of type " 10"). In the first, the value of code 3 reads " 20", ahead of
// code 20, so a key " 20" would match that value line.
const std::filesystem::path kDrawing =
    std::filesystem::path(VELUNT_TEST_DATA) / "inventory_value_zero_and_varying_order.dxf";

TEST(DrawingInventory, CountsObjectsAndCodesAsARunReadsThem) {
    const DrawingInventory inventory = TakeInventory(kDrawing, "TEXT");
    struct Expected {
        const char* type;
        std::uint64_t inEntities, elsewhere;
    };
    const Expected kTypes[] = {
        {"TEXT", 2, 1}, {"ENDSEC", 0, 2}, {"SECTION", 0, 2}, {" 10", 1, 0}, {"EOF", 0, 1},
    };
    ASSERT_EQ(inventory.types.size(), std::size(kTypes));
    for (size_t i = 0; i < std::size(kTypes); ++i) {
        EXPECT_EQ(inventory.types[i].type, kTypes[i].type);
        EXPECT_EQ(inventory.types[i].inEntities, kTypes[i].inEntities) << kTypes[i].type;
        EXPECT_EQ(inventory.types[i].elsewhere, kTypes[i].elsewhere) << kTypes[i].type;
    }

    ASSERT_EQ(inventory.masterObjects, 3u);
    struct Code {
        int code;
        std::uint64_t objects;
        const char* firstValue;
        bool isSteady;
    };
    const Code kCodes[] = {
        {8, 3, "B", true},     {10, 3, "1.0", true},   {3, 1, " 20", false},
        {20, 3, "2.0", false}, {50, 1, "90.0", false}, {1, 3, "inner", true},
    };
    ASSERT_EQ(inventory.codes.size(), std::size(kCodes));
    for (size_t i = 0; i < std::size(kCodes); ++i) {
        EXPECT_EQ(inventory.codes[i].code, kCodes[i].code);
        EXPECT_EQ(inventory.codes[i].objects, kCodes[i].objects) << kCodes[i].code;
        EXPECT_EQ(inventory.codes[i].firstValue, kCodes[i].firstValue) << kCodes[i].code;
        EXPECT_EQ(inventory.codes[i].isSteady, kCodes[i].isSteady) << kCodes[i].code;
    }
    EXPECT_FALSE(inventory.alwaysBefore(0, 1));  // 8, 10: the last object turns them round
    EXPECT_TRUE(inventory.alwaysBefore(0, 5));   // 8, 1
    EXPECT_TRUE(inventory.alwaysBefore(1, 5));   // 10, 1
}

TEST(IniDraft, AwaitsOnlyKeysEveryObjectHoldsInOrder) {
    const DrawingInventory inventory = TakeInventory(kDrawing, "TEXT");
    const IniDraft draft = DraftIni(inventory, "plan.dxf", {});
    EXPECT_NE(draft.text.find("[Spalten]\r\n  8|1|Layer\r\n  1|2|Text\r\n[Ende]\r\n"),
              std::string::npos)
        << draft.text;
    EXPECT_TRUE(draft.notes.empty());
    // Two TEXT objects are drawn, one stands in a block: the draft reads
    // ENTITIES only, says so, and asks for a UTF-8 table; the window's
    // switches stay comments, so a run starts as the window does.
    EXPECT_NE(draft.text.find("; 1 TEXT-Objekte stehen außerhalb von ENTITIES"), std::string::npos)
        << draft.text;
    TempDir dir;
    WriteFile(dir / "velunt.ini", draft.text);
    const Configuration config = ConfigLoader(dir / "velunt.ini");
    EXPECT_EQ(config.encoding, TextEncoding::Utf8);
    EXPECT_TRUE(config.warnings.empty());
    const Settings& s = config.settings;
    EXPECT_EQ(s.dxfpath, "plan.dxf");
    EXPECT_EQ(s.txtpath, "plan.txt");
    EXPECT_EQ(s.abschnitt, "ENTITIES");
    EXPECT_EQ(s.kodierung, "UTF-8");
    EXPECT_EQ(s.verschiebung, std::nullopt);
    EXPECT_EQ(s.rw, "");
    EXPECT_NE(draft.text.find("; verschiebung=0\r\n; zaehler=1\r\n; rw=4400000\r\n"),
              std::string::npos);

    // Asked for, 20 and 50 come in the objects' order; both can empty the
    // fields after them, and a code no object holds comes last.
    const int kWanted[] = {1, 62, 50, 20};
    const IniDraft asked = DraftIni(inventory, "plan.txt", kWanted);
    EXPECT_NE(asked.text.find("txtpath=plan.txt.txt\r\n"), std::string::npos);
    EXPECT_NE(asked.text.find("[Spalten]\r\n 20|1|HW (Y)\r\n 50|2|Drehwinkel\r\n  1|3|Text\r\n"
                              " 62|4|Farbe\r\n[Ende]\r\n"),
              std::string::npos)
        << asked.text;
    ASSERT_EQ(asked.notes.size(), 3u);
    EXPECT_EQ(asked.notes[0].rfind("vor Code 20 steht", 0), 0u) << asked.notes[0];
    EXPECT_EQ(asked.notes[1].rfind("Code 50 steht nur in 1 von 3", 0), 0u) << asked.notes[1];
    EXPECT_EQ(asked.notes[2].rfind("Code 62 steht in keinem", 0), 0u) << asked.notes[2];
}

TEST(DrawingInventory, EndsAsARunWhenTheTypeLineIsMissing) {
    testing::TempDir dir;
    testing::WriteFile(dir / "cut.dxf", "  0\nTEXT\n  1\nA\n  0\n");
    try {
        TakeInventory(dir / "cut.dxf", "TEXT");
        FAIL() << "no error";
    } catch (const RuntimeError& error) {
        EXPECT_EQ(error.number, kInputPastEndOfFile);
    }
}

}  // namespace
}  // namespace velunt

#pragma once
// Records what loading velunt.ini would show in the window.
#include <string>
#include <vector>

#include "config/config_loader.h"

namespace velunt::testing {

class FakeDisplay : public ConfigDisplay {
public:
    std::vector<std::string> list1;
    int list1Clears = 0;
    std::string label2, label4, label7, text1, text2;

    void clearList1() override {
        list1.clear();
        ++list1Clears;
    }
    void addList1Item(std::string_view line) override { list1.emplace_back(line); }
    void setLabel2(std::string_view caption) override { label2 = caption; }
    void setLabel4(std::string_view caption) override { label4 = caption; }
    void setLabel7(std::string_view caption) override { label7 = caption; }
    void setText1(std::string_view text) override { text1 = text; }
    void setText2(std::string_view text) override { text2 = text; }
};

}  // namespace velunt::testing

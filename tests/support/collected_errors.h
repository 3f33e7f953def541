#pragma once
// An ErrorReport that keeps every error a run reports, for the tests to read.
#include <vector>

#include "base/runtime_error.h"
#include "engine/run_interfaces.h"

namespace velunt::testing {

class CollectedErrors : public ErrorReport {
public:
    std::vector<RuntimeError> errors;
    void show(const RuntimeError& error) override { errors.push_back(error); }
};

}  // namespace velunt::testing

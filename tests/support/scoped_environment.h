#pragma once
// Sets or unsets environment variables and the working directory for one
// test, and puts back what was there before.
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace velunt::testing {

class ScopedEnvironment {
public:
    ScopedEnvironment() : m_workingDirectory(std::filesystem::current_path()) {}
    ~ScopedEnvironment() {
        for (auto it = m_saved.rbegin(); it != m_saved.rend(); ++it) apply(it->first, it->second);
        std::filesystem::current_path(m_workingDirectory);
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

    // nullopt unsets the variable.
    void set(const std::string& name, const std::optional<std::string>& value) {
        const char* old = std::getenv(name.c_str());
        m_saved.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
        apply(name, value);
    }
    void changeDirectory(const std::filesystem::path& folder) {
        std::filesystem::current_path(folder);
    }

private:
    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value)
            ::setenv(name.c_str(), value->c_str(), 1);
        else
            ::unsetenv(name.c_str());
    }

    std::filesystem::path m_workingDirectory;
    std::vector<std::pair<std::string, std::optional<std::string>>> m_saved;
};

}  // namespace velunt::testing

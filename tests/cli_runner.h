// Runs the built wertowik and the sample discs the build wrote, for end-to-end tests.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace wtk::test {

struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
    nlohmann::json Json() const { return nlohmann::json::parse(out); }
};

// Runs build/bin/wertowik with these arguments (no shell), standard input closed.
CliResult RunWertowik(const std::vector<std::string>& arguments);
// Runs any program the same way.
CliResult RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// A sample disc folder written by the build.
std::filesystem::path SampleDisc(const std::string& name);

// A fresh, empty temporary folder, removed with the object.
class TempDir {
public:
    TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    ~TempDir();
    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// The whole content of a file as bytes.
std::string ReadBytes(const std::filesystem::path& file);
// Writes bytes to a file, creating its folders.
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace wtk::test

// Runs the built wertowik and the sample discs the build wrote, for end-to-end tests.
#pragma once

#include <chrono>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <vector>

namespace wtk::test {

struct CliResult {
    int exitCode = -1;  // 128 + the signal for a run that a signal ended
    std::string out;
    std::string err;
    bool timedOut = false;  // killed at the time limit
    long peakRssKb = 0;     // the run's peak resident memory
    double seconds = 0;     // wall-clock time from the start
    nlohmann::json Json() const { return nlohmann::json::parse(out); }
};

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

// Runs build/bin/wertowik with these arguments (no shell), standard input closed. The environment
// is the test's, with WERTOWIK_NO_OPEN=1 and XDG_DATA_HOME in a scratch folder (so that no viewer
// starts and no real catalogue is touched), then the NAME=VALUE settings given.
CliResult RunWertowik(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {});

// Runs any program the same way.
CliResult RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// Where a run's standard output goes: a file the result holds, /dev/full, or a pipe that nobody reads
// (closed before the run starts, so that the first write meets it closed). A run still going after
// two minutes (one that hangs) is killed.
enum class Output { File, Full, ClosedPipe };
CliResult RunWertowikInto(Output output, const std::vector<std::string>& arguments);

// A wertowik started and not yet waited for, to run several at once.
class StartedWertowik {
public:
    StartedWertowik(const std::vector<std::string>& arguments, const std::vector<std::string>& environment = {});
    // Any program started the same way.
    StartedWertowik(const std::string& program, const std::vector<std::string>& arguments,
                    const std::vector<std::string>& environment, Output output = Output::File);
    StartedWertowik(const StartedWertowik&) = delete;
    StartedWertowik& operator=(const StartedWertowik&) = delete;
    ~StartedWertowik();
    // Waits for the end; a run still going at the time limit is killed.
    CliResult Wait(std::chrono::seconds limit = std::chrono::hours(1));
    int pid() const { return pid_; }
    // What the run has written to standard error so far.
    std::string ErrorsSoFar() const;
    // What the run has written to standard output so far (Output::File).
    std::string OutputSoFar() const;

private:
    std::unique_ptr<TempDir> scratch_;
    int pid_ = -1;
    std::chrono::steady_clock::time_point started_;
};

// A shell script run as root in a mount namespace of its own (so that it may mount a small tmpfs
// that fills up), with $0, $1, ... the arguments; nothing where no such namespace can be had.
std::optional<CliResult> RunInPrivateMounts(const std::string& script, const std::vector<std::string>& arguments);

// The stand-in library for tests (built as build/test-plugins/chip.so): see replay/replay_plugin.cpp.
std::filesystem::path ReplayPluginFolder();
// An ISO 9660 image the build made of a sample disc folder.
std::filesystem::path SampleImage(const std::string& name);

// A program the build put into build/bin.
std::string BuildProgram(const std::string& name);

// A sample disc folder written by the build.
std::filesystem::path SampleDisc(const std::string& name);

// The whole content of a file as bytes.
std::string ReadBytes(const std::filesystem::path& file);
// Writes bytes to a file, creating its folders.
void WriteBytes(const std::filesystem::path& file, const std::string& bytes);

}  // namespace wtk::test

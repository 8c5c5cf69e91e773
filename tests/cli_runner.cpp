#include "cli_runner.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string_view>
#include <thread>

extern char** environ;

namespace wtk::test {

namespace {

bool SetsName(const std::string& setting, const char* entry) {
    const std::size_t equals = setting.find('=');
    const std::string name = setting.substr(0, equals);
    return std::string_view(entry).substr(0, name.size() + 1) == name + "=";
}

// The test's environment with the defaults and then the given settings put over it.
std::vector<std::string> Environment(const TempDir& scratch, const std::vector<std::string>& settings) {
    std::vector<std::string> overrides{"WERTOWIK_NO_OPEN=1", "XDG_DATA_HOME=" + (scratch / "data").string()};
    overrides.insert(overrides.end(), settings.begin(), settings.end());
    std::vector<std::string> environment;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (std::none_of(overrides.begin(), overrides.end(),
                         [entry](const std::string& setting) { return SetsName(setting, *entry); })) {
            environment.emplace_back(*entry);
        }
    }
    for (std::size_t i = 0; i < overrides.size(); ++i) {
        const bool later = std::any_of(overrides.begin() + static_cast<std::ptrdiff_t>(i) + 1, overrides.end(),
                                       [&](const std::string& s) { return SetsName(s, overrides[i].c_str()); });
        if (!later) {
            environment.push_back(overrides[i]);
        }
    }
    return environment;
}

std::vector<char*> Pointers(std::vector<std::string>& texts) {
    std::vector<char*> pointers;
    for (std::string& text : texts) {
        pointers.push_back(text.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

StartedWertowik::StartedWertowik(const std::vector<std::string>& arguments, const std::vector<std::string>& settings)
    : StartedWertowik(std::string(WERTOWIK_BUILD_DIR) + "/bin/wertowik", arguments, settings) {}

StartedWertowik::StartedWertowik(const std::string& program, const std::vector<std::string>& arguments,
                                 const std::vector<std::string>& settings, Output output)
    : scratch_(std::make_unique<TempDir>()) {
    const std::string outFile = (*scratch_ / "out").string(), errFile = (*scratch_ / "err").string();
    std::vector<std::string> argvTexts{program};
    argvTexts.insert(argvTexts.end(), arguments.begin(), arguments.end());
    std::vector<std::string> envTexts = Environment(*scratch_, settings);
    std::vector<char*> argv = Pointers(argvTexts), envp = Pointers(envTexts);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    int unread[2] = {-1, -1};
    if (output == Output::ClosedPipe && ::pipe(unread) == 0) {
        posix_spawn_file_actions_adddup2(&actions, unread[1], 1);
        posix_spawn_file_actions_addclose(&actions, unread[0]);
        posix_spawn_file_actions_addclose(&actions, unread[1]);
        ::close(unread[0]);  // nobody reads: the child's first write meets a closed pipe
    } else {
        posix_spawn_file_actions_addopen(&actions, 1, output == Output::Full ? "/dev/full" : outFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0600);
    }
    posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = 0;
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (unread[1] >= 0) {
        ::close(unread[1]);
    }
    if (spawned != 0) {
        throw std::runtime_error(std::string("cannot start ") + argv[0]);
    }
    pid_ = pid;
    started_ = std::chrono::steady_clock::now();
}

StartedWertowik::~StartedWertowik() {
    if (pid_ > 0) {
        int status = 0;
        ::waitpid(pid_, &status, 0);
    }
}

CliResult StartedWertowik::Wait(std::chrono::seconds limit) {
    CliResult result;
    int status = 0;
    struct rusage usage {};
    for (;;) {
        const pid_t ended = ::wait4(pid_, &status, WNOHANG, &usage);
        if (ended == pid_ || (ended < 0 && errno != EINTR)) {
            break;
        }
        if (std::chrono::steady_clock::now() - started_ > limit) {
            result.timedOut = true;
            ::kill(pid_, SIGKILL);
            ::wait4(pid_, &status, 0, &usage);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    pid_ = -1;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    // The system counts the parent's memory at the time of the start into the child's peak.
    result.peakRssKb = usage.ru_maxrss;
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    result.out = ReadBytes(*scratch_ / "out");
    result.err = ReadBytes(*scratch_ / "err");
    return result;
}

std::string StartedWertowik::ErrorsSoFar() const { return ReadBytes(*scratch_ / "err"); }

std::string StartedWertowik::OutputSoFar() const { return ReadBytes(*scratch_ / "out"); }

CliResult RunWertowikInto(Output output, const std::vector<std::string>& arguments) {
    return StartedWertowik(std::string(WERTOWIK_BUILD_DIR) + "/bin/wertowik", arguments, {}, output)
        .Wait(std::chrono::minutes(2));
}

CliResult RunWertowik(const std::vector<std::string>& arguments, const std::vector<std::string>& environment) {
    return StartedWertowik(arguments, environment).Wait();
}

CliResult RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
    return StartedWertowik(program, arguments, {}).Wait();
}

std::filesystem::path ReplayPluginFolder() { return std::filesystem::path(WERTOWIK_BUILD_DIR) / "test-plugins"; }

std::filesystem::path SampleImage(const std::string& name) {
    return std::filesystem::path(WERTOWIK_BUILD_DIR) / "samples-iso" / (name + ".iso");
}

std::optional<CliResult> RunInPrivateMounts(const std::string& script, const std::vector<std::string>& arguments) {
    if (::geteuid() != 0 || RunProgram("/usr/bin/unshare", {"-m", "/bin/true"}).exitCode != 0) {
        return std::nullopt;
    }
    std::vector<std::string> all{"-m", "/bin/sh", "-c", script};
    all.insert(all.end(), arguments.begin(), arguments.end());
    return RunProgram("/usr/bin/unshare", all);
}

std::string BuildProgram(const std::string& name) { return std::string(WERTOWIK_BUILD_DIR) + "/bin/" + name; }

std::filesystem::path SampleDisc(const std::string& name) {
    return std::filesystem::path(WERTOWIK_BUILD_DIR) / "samples-out" / name;
}

TempDir::TempDir() {
    std::random_device random;
    const auto base = std::filesystem::temp_directory_path();
    for (;;) {
        path_ = base / ("wertowik-test-" + std::to_string(random()));
        if (std::filesystem::create_directory(path_)) {
            break;
        }
    }
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string ReadBytes(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::filesystem::path& file, const std::string& bytes) {
    std::filesystem::create_directories(file.parent_path());
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace wtk::test

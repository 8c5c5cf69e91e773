#include "host/modules/viewer.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "host/base/cp1250.h"
#include "host/base/environment.h"
#include "host/base/messages.h"
#include "host/discs/temporary_folder.h"

extern char** environ;

namespace wertowik {

namespace {

namespace fs = std::filesystem;

bool IsOpenVerb(const std::string& verb) {
    return verb.size() == 4 && (verb[0] | 0x20) == 'o' && (verb[1] | 0x20) == 'p' && (verb[2] | 0x20) == 'e' &&
           (verb[3] | 0x20) == 'n';
}

// Copies a file of the disc into a fresh private folder; throws when it cannot.
fs::path Extract(Drive& drive, const std::string& windowsPath, const std::vector<std::string>& names) {
    // The folder stays: the viewer may read the copy after the host has ended.
    const fs::path target = MakeTemporaryFolder("wertowik-page-", N_("a copy of the page")) / names.back();
    std::unique_ptr<SourceFile> file = drive.OpenRead(windowsPath);
    if (!file) {
        throw std::runtime_error(Tr("the file is gone from the disc"));
    }
    std::ofstream out(target, std::ios::binary | std::ios::trunc);
    char buffer[65536];
    for (std::size_t got; (got = file->Read(buffer, sizeof buffer)) > 0;) {
        out.write(buffer, static_cast<std::streamsize>(got));
    }
    out.close();
    if (!out) {
        throw std::runtime_error(Say("cannot write {1}", target.string()));
    }
    return target;
}

// Runs the viewer and waits for it (xdg-open returns once it has handed the file on). Its standard
// output goes to standard error, which keeps ours clean for --json.
std::string Launch(const std::string& command, const fs::path& file) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_adddup2(&actions, STDERR_FILENO, STDOUT_FILENO);
    const std::string path = file.string();
    char* argv[] = {const_cast<char*>(command.c_str()), const_cast<char*>(path.c_str()), nullptr};
    pid_t pid = 0;
    // wertowik ignores SIGPIPE; the viewer gets the default back.
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
    const int status = posix_spawnp(&pid, command.c_str(), &actions, &attributes, argv, environ);
    posix_spawnattr_destroy(&attributes);
    posix_spawn_file_actions_destroy(&actions);
    if (status != 0) {
        return Say("cannot start {1} to open {2}", command, path);
    }
    int exit = 0;
    while (::waitpid(pid, &exit, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(exit) || WEXITSTATUS(exit) != 0) {
        return Say("{1} could not open {2}", command, path);
    }
    return Say("Opened {1} with {2}", path, command);
}

}  // namespace

std::string OpenAddress(const std::string& url) {
    if (const auto off = Environment("WERTOWIK_NO_OPEN"); off && *off != "0") {
        return "Not opening " + url + " (WERTOWIK_NO_OPEN is set)";
    }
    const std::string command = Environment("WERTOWIK_OPEN_COMMAND").value_or("xdg-open");
    // The browser may stay in the foreground of its launcher for as long as it runs: it is waited
    // for on a thread of its own, which ends with it.
    std::thread([command, url] { Launch(command, url); }).detach();
    return "Opening " + url + " with " + command;
}

std::string OpenWithViewer(const OpenRecord& request, Drive* drive) {
    const std::string shown = Cp1250ToUtf8(request.file);
    if (!IsOpenVerb(request.verb)) {
        return Say("Not opening {1}: the verb \"{2}\" is not supported", shown, Cp1250ToUtf8(request.verb));
    }
    if (const auto off = Environment("WERTOWIK_NO_OPEN"); off && *off != "0") {
        return Say("Not opening {1} (WERTOWIK_NO_OPEN is set)", shown);
    }
    std::string command = "xdg-open";
    if (const auto chosen = Environment("WERTOWIK_OPEN_COMMAND")) {
        command = *chosen;
    } else if (!::isatty(STDERR_FILENO)) {
        return Say("Not opening {1}: no terminal (WERTOWIK_OPEN_COMMAND names a viewer to use anyway)", shown);
    }
    const auto names = drive != nullptr ? drive->NativePath(request.file) : std::nullopt;
    if (!names) {
        return Say("Cannot open {1}: no such file on the disc", shown);
    }
    try {
        std::optional<fs::path> local = drive->source().LocalFile(*names);
        return Launch(command, local ? *local : Extract(*drive, request.file, *names));
    } catch (const std::exception& problem) {
        return Say("Cannot open {1}: {2}", shown, problem.what());
    }
}

}  // namespace wertowik

// wertowik-measure RUNS COMMAND [ARGUMENT...]: runs the command RUNS times (standard input,
// output and error on /dev/null) and prints the fastest and the median wall-clock time in seconds, the
// largest peak resident memory in KiB and the last exit status: "0.0123 0.0130 5864 0".
// This process stays small, because the system counts a parent's memory at the time of the
// start into its child's peak.
// wertowik-measure --uncache PATH...: writes out and drops from the page cache every file at or
// under each PATH, so that the next read brings the files in as reading a disc does (a file just
// written stays cached in the small pieces it was written in, which makes mapping it slower and
// copying it slower still).
#include <fcntl.h>
#include <ftw.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

extern char** environ;

namespace {

int Uncache(const char* path, const struct stat*, int type, struct FTW*) {
    if (type != FTW_F) {
        return 0;
    }
    const int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    fdatasync(fd);
    posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    close(fd);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string_view(argv[1]) == "--uncache") {
        constexpr int kOpenFolders = 16;
        for (int i = 2; i < argc; ++i) {
            nftw(argv[i], Uncache, kOpenFolders, FTW_PHYS);
        }
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: wertowik-measure RUNS COMMAND [ARGUMENT...]\n");
        return 64;
    }
    const int runs = std::max(1, std::atoi(argv[1]));
    std::vector<double> seconds;
    long peakKb = 0;
    int exitStatus = 0;
    for (int run = 0; run < runs; ++run) {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        const auto started = std::chrono::steady_clock::now();
        pid_t pid = 0;
        const int failed = posix_spawnp(&pid, argv[2], &actions, nullptr, argv + 2, environ);
        posix_spawn_file_actions_destroy(&actions);
        if (failed != 0) {
            std::fprintf(stderr, "wertowik-measure: cannot start %s\n", argv[2]);
            return 70;
        }
        int status = 0;
        struct rusage usage {};
        if (wait4(pid, &status, 0, &usage) != pid) {
            return 70;
        }
        seconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count());
        peakKb = std::max(peakKb, usage.ru_maxrss);
        exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::sort(seconds.begin(), seconds.end());
    std::printf("%.4f %.4f %ld %d\n", seconds.front(), seconds[seconds.size() / 2], peakKb, exitStatus);
    return 0;
}

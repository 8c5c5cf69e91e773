// wertowik serve from the command line: where it listens, --open, the end on SIGTERM, and a
// catalogue that is not there, read as empty and not made.
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "cli_runner.h"

namespace {

namespace fs = std::filesystem;
using wtk::test::RunWertowik;
using wtk::test::StartedWertowik;
using wtk::test::TempDir;

// A port nothing listens on just now.
int FreePort() {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size);
    ::close(socket);
    return ntohs(address.sin_port);
}

// Waits, a little at a time, until the condition holds or a minute has gone by.
bool Eventually(const std::function<bool()>& condition) {
    for (int i = 0; i < 1200; ++i) {
        if (condition()) {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

TEST(ServeCommand, ServesUntilSigtermAndOpensTheBrowserUnlessTold) {
    TempDir folder;
    const fs::path viewer = folder / "viewer.sh", opened = folder / "opened";
    std::ofstream(viewer) << "#!/bin/sh\nprintf %s \"$1\" > '" << opened.string() << "'\n";
    fs::permissions(viewer, fs::perms::owner_all);
    const fs::path catalogue = folder / "none" / "catalogue.sqlite";
    for (const bool noOpen : {false, true}) {
        SCOPED_TRACE(noOpen ? "WERTOWIK_NO_OPEN=1" : "opens");
        fs::remove(opened);
        const int port = FreePort();
        const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/";
        StartedWertowik serve(
            {"serve", "--catalogue", catalogue.string(), "--port", std::to_string(port), "--open"},
            {"WERTOWIK_OPEN_COMMAND=" + viewer.string(), std::string("WERTOWIK_NO_OPEN=") + (noOpen ? "1" : "")});
        httplib::Client client("127.0.0.1", port);
        ASSERT_TRUE(Eventually([&] {
            const auto answer = client.Get("/api/discs");
            return answer && answer->status == 200 && answer->body == "[]";
        })) << serve.ErrorsSoFar();
        if (!noOpen) {
            ASSERT_TRUE(Eventually([&] { return fs::exists(opened) && fs::file_size(opened) > 0; }));
            std::ifstream in(opened);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), url);
        }
        ::kill(serve.pid(), SIGTERM);
        const auto result = serve.Wait(std::chrono::seconds(60));
        EXPECT_EQ(result.exitCode, 0) << result.err;
        EXPECT_NE(result.out.find(url), std::string::npos) << result.out;
        EXPECT_EQ(fs::exists(opened), !noOpen);
        EXPECT_FALSE(fs::exists(catalogue.parent_path())) << "a catalogue that is not there is not made";
    }
}

TEST(ServeCommand, RefusesWhatItCannotServe) {
    TempDir folder;
    std::ofstream(folder / "not-a-catalogue") << "plain text, not SQLite";
    const std::vector<std::pair<std::vector<std::string>, int>> cases{
        {{"serve", "--port", "70000"}, 64},
        {{"serve", "--port", "0", "--catalogue", (folder / "not-a-catalogue").string()}, 65},
        {{"serve", "--port", "0", "--address", "203.0.113.99"}, 73},  // no such address here
    };
    for (const auto& [arguments, status] : cases) {
        const auto result = RunWertowik(arguments);
        EXPECT_EQ(result.exitCode, status) << arguments.back() << ": " << result.err;
    }
}

}  // namespace

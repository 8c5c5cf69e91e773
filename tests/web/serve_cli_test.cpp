// wertowik serve from the command line: where it listens, --open, the end on SIGTERM, and a
// catalogue that is not there, read as empty and not made.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
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

// A connection that has sent the start of a request's head.
int HalfRequest(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string half = "GET /api/discs HTTP/1.1\r\nHost: 127.0.0.1\r\n";
    ::send(socket, half.data(), half.size(), MSG_NOSIGNAL);
    return socket;
}

TEST(ServeCommand, ABusyPortIsAnErrorOfOneLine) {
    TempDir folder;
    const int port = FreePort();
    const std::string catalogue = (folder / "catalogue.sqlite").string();
    StartedWertowik first({"serve", "--catalogue", catalogue, "--port", std::to_string(port)});
    httplib::Client client("127.0.0.1", port);
    ASSERT_TRUE(Eventually([&] { return static_cast<bool>(client.Get("/api/discs")); })) << first.ErrorsSoFar();
    StartedWertowik second({"serve", "--catalogue", catalogue, "--port", std::to_string(port)});
    const auto refused = second.Wait(std::chrono::seconds(20));
    EXPECT_FALSE(refused.timedOut) << "a second server shares the port";
    EXPECT_EQ(refused.exitCode, 73) << refused.err;
    EXPECT_EQ(std::count(refused.err.begin(), refused.err.end(), '\n'), 1) << refused.err;
    EXPECT_NE(refused.err.find(std::to_string(port)), std::string::npos) << refused.err;
    ::kill(first.pid(), SIGTERM);
    EXPECT_EQ(first.Wait(std::chrono::seconds(20)).exitCode, 0);
}

// Clients that keep sending their heads a line at a time do not keep SIGTERM from ending the server.
TEST(ServeCommand, SigtermEndsTheServerWhateverItsClientsDo) {
    TempDir folder;
    const int port = FreePort();
    StartedWertowik serve(
        {"serve", "--catalogue", (folder / "catalogue.sqlite").string(), "--port", std::to_string(port)});
    httplib::Client client("127.0.0.1", port);
    ASSERT_TRUE(Eventually([&] { return static_cast<bool>(client.Get("/api/discs")); })) << serve.ErrorsSoFar();
    std::vector<int> slow;
    for (int i = 0; i < 3; ++i) {
        slow.push_back(HalfRequest(port));
    }
    std::atomic<bool> ended = false;
    std::thread feeding([&] {
        for (int line = 0; line < 100 && !ended; ++line) {  // at most 10 seconds
            for (const int socket : slow) {
                const std::string header = "X-Slow: " + std::to_string(line) + "\r\n";
                ::send(socket, header.data(), header.size(), MSG_NOSIGNAL);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    ::kill(serve.pid(), SIGTERM);
    const auto result = serve.Wait(std::chrono::seconds(5));
    ended = true;
    feeding.join();
    EXPECT_FALSE(result.timedOut) << "still serving 5 s after SIGTERM";
    EXPECT_EQ(result.exitCode, 0) << result.err;
    for (const int socket : slow) {
        ::close(socket);
    }
}

// The web addresses a serve prints on its first line.
std::vector<std::string> PrintedAddresses(const std::string& out) {
    std::vector<std::string> found;
    const std::string line = out.substr(0, out.find('\n'));
    for (std::size_t at = line.find("http://"); at != std::string::npos; at = line.find("http://", at + 1)) {
        const std::size_t end = line.find('/', at + 7);
        found.push_back(line.substr(at + 7, end - at - 7));
    }
    return found;
}

// Listening beyond this computer is said, with the addresses it is reached at; a request is then
// answered for those addresses alone (asked here through 127.0.0.1, naming them in its Host).
TEST(ServeCommand, AnAddressBeyondThisComputerIsWarnedOfAndNamedExactly) {
    TempDir folder;
    const std::vector<std::pair<std::string, bool>> cases{{"127.0.0.1", false}, {"0.0.0.0", true}};
    for (const auto& [address, open] : cases) {
        const int port = FreePort();
        const std::string p = std::to_string(port);
        StartedWertowik serve(
            {"serve", "--catalogue", (folder / "catalogue.sqlite").string(), "--address", address, "--port", p});
        httplib::Client client("127.0.0.1", port);
        ASSERT_TRUE(Eventually([&] { return static_cast<bool>(client.Get("/api/discs")); })) << serve.ErrorsSoFar();
        const std::vector<std::pair<std::string, int>> hosts{{"127.0.0.1:" + p, 200},
                                                             {"198.51.100.7:" + p, 403},
                                                             {"[2001:db8::7]:" + p, 403},
                                                             {"evil.example:" + p, 403}};
        for (const auto& [host, status] : hosts) {
            EXPECT_EQ(client.Get("/api/discs", {{"Host", host}})->status, status) << address << ", Host " << host;
        }
        const std::vector<std::string> printed = PrintedAddresses(serve.OutputSoFar());
        ASSERT_FALSE(printed.empty()) << serve.OutputSoFar();
        for (const std::string& host : printed) {
            EXPECT_TRUE(host.ends_with(":" + p)) << host;
            EXPECT_EQ(client.Get("/api/discs", {{"Host", host}})->status, 200) << address << ", Host " << host;
        }
        EXPECT_EQ(printed.size() > 1 || printed[0] != "127.0.0.1:" + p, open) << serve.OutputSoFar();
        ::kill(serve.pid(), SIGTERM);
        const auto result = serve.Wait(std::chrono::seconds(20));
        ASSERT_EQ(result.exitCode, 0) << result.err;
        EXPECT_EQ(result.err.find("without a password") != std::string::npos, open) << address << ": " << result.err;
    }
}

}  // namespace

// wertowik serve under attack on 127.0.0.1: heads without bound, slow clients, a second server on
// the same port. Every loop here is bounded and ends by itself.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli_runner.h"
#include "host/base/errors.h"
#include "host/web/web_server.h"

namespace wertowik::web {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using wtk::test::TempDir;

int Connect(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    return socket;
}

// Sends as much of the bytes as the server takes; false once it refuses more.
bool SendAll(int socket, const std::string& bytes) {
    for (std::size_t sent = 0; sent < bytes.size();) {
        const ssize_t n = ::send(socket, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// What the server answers within the time given: "" when it closed the connection without an answer
// or gave none in time.
std::string Answer(int socket, std::chrono::milliseconds within) {
    std::string answer;
    const auto end = Clock::now() + within;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        pollfd wait{socket, POLLIN, 0};
        if (left <= 0 || ::poll(&wait, 1, static_cast<int>(left)) <= 0) {
            return answer;
        }
        char buffer[4096];
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, 0);
        if (n <= 0) {
            return answer;
        }
        answer.append(buffer, static_cast<std::size_t>(n));
        if (answer.find("\r\n\r\n") != std::string::npos) {
            return answer;
        }
    }
}

// Whether the server has closed the connection (or answered it and closed it) by now.
bool ClosedByServer(int socket) {
    pollfd wait{socket, POLLIN, 0};
    if (::poll(&wait, 1, 0) <= 0) {
        return false;
    }
    char buffer[4096];
    while (true) {
        const ssize_t n = ::recv(socket, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)) {
            return true;
        }
        if (n < 0) {
            return false;
        }
    }
}

class WebAttackTest : public ::testing::Test {
protected:
    void SetUp() override {
        server = std::make_unique<WebServer>(ServeOptions{folder / "catalogue.sqlite", "127.0.0.1", 0});
        serving = std::thread([this] { server->Run(); });
    }
    void TearDown() override {
        server->Stop();
        serving.join();
    }
    std::string Head(const std::string& extra) const {
        return "GET /api/discs HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(server->port()) + "\r\n" + extra;
    }

    TempDir folder;
    std::unique_ptr<WebServer> server;
    std::thread serving;
};

std::string Lines(std::size_t count, std::size_t length) {
    std::string lines;
    for (std::size_t i = 0; i < count; ++i) {
        lines += "X-Filler-" + std::to_string(i) + ": " + std::string(length, 'a') + "\r\n";
    }
    return lines;
}

TEST_F(WebAttackTest, HeadsPastTheirBoundsAreRefused) {
    const std::vector<std::tuple<std::string, std::string, std::string>> cases{
        {"256 KB of short lines", Head(Lines(256, 1000) + "\r\n"), "HTTP/1.1 431"},
        {"a 16 KB line", Head(Lines(1, 16 * 1024) + "\r\n"), "HTTP/1.1 4"},
        {"a 9 KB path", "GET /api/discs?q=" + std::string(9 * 1024, 'a') + " HTTP/1.1\r\n\r\n", "HTTP/1.1 4"},
        {"two Host headers", Head("Host: evil.example\r\n\r\n"), "HTTP/1.1 400"},
        {"another Host before the one served",
         "GET /api/discs HTTP/1.1\r\nhost: evil.example\r\nHost: 127.0.0.1:" + std::to_string(server->port()) +
             "\r\n\r\n",
         "HTTP/1.1 400"},
        {"a plain request", Head("\r\n"), "HTTP/1.1 200"},
    };
    for (const auto& [what, request, status] : cases) {
        const int socket = Connect(server->port());
        SendAll(socket, request);  // the server may stop reading half-way
        const std::string answer = Answer(socket, std::chrono::seconds(20));
        EXPECT_EQ(answer.substr(0, status.size()), status) << what << ": " << answer.substr(0, 200);
        ::close(socket);
    }
}

// Clients that send their heads a line at a time, slower than anyone would, each line well within
// the time a read may wait: they hold no worker, others are answered meanwhile, and each is closed
// once its head has taken longer than a head may take.
TEST_F(WebAttackTest, SlowClientsHoldNoWorkerAndAreClosedAtTheirDeadline) {
    constexpr int kSlow = 80;
    std::vector<int> slow;
    for (int i = 0; i < kSlow; ++i) {
        slow.push_back(Connect(server->port()));
        SendAll(slow.back(), Head(""));
    }
    httplib::Client other("127.0.0.1", server->port());
    other.set_read_timeout(std::chrono::seconds(2));
    other.set_connection_timeout(std::chrono::seconds(2));
    int answered = 0, closed = 0;
    const auto start = Clock::now();
    for (int second = 0; second < 16 && closed < kSlow; ++second) {
        for (int& socket : slow) {
            if (socket >= 0 &&
                (ClosedByServer(socket) || !SendAll(socket, "X-Slow: " + std::to_string(second) + "\r\n"))) {
                ::close(socket);
                socket = -1;
                ++closed;
            }
        }
        if (second < 3) {
            const auto answer = other.Get("/api/discs");
            answered += answer && answer->status == 200 ? 1 : 0;
        }
        std::this_thread::sleep_until(start + std::chrono::seconds(second + 1));
    }
    EXPECT_EQ(answered, 3) << "others are answered while slow clients send their heads";
    EXPECT_EQ(closed, kSlow) << "a head that takes longer than its deadline is not waited for";
    for (const int socket : slow) {
        if (socket >= 0) {
            ::close(socket);
        }
    }
}

TEST_F(WebAttackTest, ASecondServerOnTheSamePortIsRefused) {
    try {
        WebServer second(ServeOptions{folder / "catalogue.sqlite", "127.0.0.1", server->port()});
        ADD_FAILURE() << "a second server listens on port " << server->port();
    } catch (const HostError& problem) {
        EXPECT_EQ(problem.code(), kExitCantCreate);
        EXPECT_NE(std::string(problem.what()).find(std::to_string(server->port())), std::string::npos)
            << problem.what();
    }
}

uint32_t Le32(const std::string& bytes, std::size_t at) {
    return static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8 |
           static_cast<unsigned char>(bytes[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24;
}

// Where the directory record of that name lies in the directory whose extent begins at block.
std::size_t RecordOf(const std::string& image, uint32_t block, const std::string& name) {
    for (std::size_t at = block * 2048u; image[at] != 0; at += static_cast<unsigned char>(image[at])) {
        if (image.compare(at + 33, static_cast<unsigned char>(image[at + 32]), name) == 0) {
            return at;
        }
    }
    ADD_FAILURE() << "no record " << name;
    return 0;
}

// An ISO 9660 image whose folder A holds a page and a folder B that is A again.
void WriteLoopingImage(const fs::path& image, const fs::path& scratch) {
    wtk::test::WriteBytes(scratch / "tree" / "A" / "PAGE.HTM", "<p>page</p>");
    fs::create_directories(scratch / "tree" / "A" / "B");
    const std::string make =
        "genisoimage -quiet -V LOOP -o '" + image.string() + "' '" + (scratch / "tree").string() + "'";
    ASSERT_EQ(std::system(make.c_str()), 0);
    std::string bytes = wtk::test::ReadBytes(image);
    const uint32_t root = Le32(bytes, 16 * 2048 + 156 + 2);
    const uint32_t a = Le32(bytes, RecordOf(bytes, root, "A") + 2);
    const std::size_t b = RecordOf(bytes, a, "B");
    for (int i = 0; i < 4; ++i) {
        bytes[b + 2 + i] = static_cast<char>(a >> (8 * i));
        bytes[b + 9 - i] = static_cast<char>(a >> (8 * i));
    }
    wtk::test::WriteBytes(image, bytes);
}

std::string Repeated(const std::string& part, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += part;
    }
    return text;
}

// A path into a disc goes no deeper than the walk of a disc goes, and never into a folder it went
// through already: a loop on an image, or a link on a folder disc back to a folder above it.
TEST(DiscPagesServed, NoPathGoesRoundALoopOrDeeperThanAWalk) {
    TempDir folder;
    WriteLoopingImage(folder / "loop.iso", folder.path());
    const fs::path disc = folder / "disc";
    wtk::test::WriteBytes(disc / "INDEX.HTM", "<p>index</p>");
    fs::create_directory_symlink(disc, disc / "again");
    std::string deep = "deep";
    for (int i = 1; i < 130; ++i) {
        deep += "/d";
    }
    wtk::test::WriteBytes(disc / deep / "PAGE.HTM", "<p>deep</p>");
    const fs::path catalogue = folder / "catalogue.sqlite";
    for (const fs::path& registered : {folder / "loop.iso", disc}) {
        const auto run =
            wtk::test::RunWertowik({"register", registered.string(), "--no", "--catalogue", catalogue.string()});
        ASSERT_LE(run.exitCode, 1) << run.err;
    }
    WebServer server(ServeOptions{catalogue, "127.0.0.1", 0});
    std::thread serving([&] { server.Run(); });
    httplib::Client client("127.0.0.1", server.port());
    const std::vector<std::pair<std::string, int>> cases{
        {"/disc/1/content/A/PAGE.HTM", 200},
        {"/disc/1/content/A/B/PAGE.HTM", 404},
        {"/disc/1/content/A/" + Repeated("B/", 4000) + "PAGE.HTM", 404},
        {"/disc/1/content/a/b/a/PAGE.HTM", 404},
        {"/disc/2/content/INDEX.HTM", 200},
        {"/disc/2/content/again/INDEX.HTM", 404},
        {"/disc/2/content/" + Repeated("again/", 1300) + "INDEX.HTM", 404},
        {"/disc/2/content/deep/" + Repeated("d/", 120) + "d", 404},
        {"/disc/2/content/" + deep + "/PAGE.HTM", 404},
    };
    for (const auto& [path, status] : cases) {
        const auto answer = client.Get(path.c_str());
        ASSERT_TRUE(answer) << path.substr(0, 80);
        EXPECT_EQ(answer->status, status) << path.substr(0, 80);
    }
    server.Stop();
    serving.join();
}

// A folder disc registered by the command line, served, and then put out of the server's reach in
// one way or another: its pages and its source are no longer offered, as for a disc that is gone.
TEST(FolderDiscServed, OnlyWhileItsFolderIsTheOneRegistered) {
    TempDir folder;
    const fs::path disc = folder / "disc", away = folder / "away", elsewhere = folder / "elsewhere";
    wtk::test::WriteBytes(disc / "INDEX.HTM", "<p>the disc</p>");
    wtk::test::WriteBytes(elsewhere / "INDEX.HTM", "<p>not the disc</p>");
    wtk::test::WriteBytes(elsewhere / "secret.txt", "not the disc's");
    const fs::path catalogue = folder / "catalogue.sqlite";
    const auto registered =
        wtk::test::RunWertowik({"register", disc.string(), "--no", "--catalogue", catalogue.string()});
    ASSERT_LE(registered.exitCode, 1) << registered.err;

    WebServer server(ServeOptions{catalogue, "127.0.0.1", 0});
    std::thread serving([&] { server.Run(); });
    httplib::Client client("127.0.0.1", server.port());
    const std::vector<std::tuple<std::string, std::function<void()>, bool>> cases{
        {"as registered", [] {}, true},
        {"a link to another folder in its place",
         [&] {
             fs::rename(disc, away);
             fs::create_directory_symlink(elsewhere, disc);
         },
         false},
        {"a link to the root in its place",
         [&] {
             fs::remove(disc);
             fs::create_directory_symlink("/", disc);
         },
         false},
        {"another folder of the same name and files",
         [&] {
             fs::remove(disc);
             fs::create_directory(disc);
             fs::copy_file(away / "INDEX.HTM", disc / "INDEX.HTM");
             fs::copy_file(elsewhere / "secret.txt", disc / "secret.txt");
         },
         false},
        {"the registered folder back in its place",
         [&] {
             fs::remove_all(disc);
             fs::rename(away, disc);
         },
         true},
    };
    for (const auto& [what, change, served] : cases) {
        change();
        const auto page = client.Get("/disc/1/content/INDEX.HTM");
        ASSERT_TRUE(page) << what;
        EXPECT_EQ(page->status, served ? 200 : 404) << what << ": " << page->body;
        EXPECT_EQ(client.Get("/disc/1/content/secret.txt")->status, 404) << what;
        EXPECT_EQ(client.Get("/disc/1/content/etc/passwd")->status, 404) << what;
        const auto shown = client.Get("/api/disc/1");
        ASSERT_TRUE(shown && shown->status == 200) << what;
        EXPECT_EQ(nlohmann::json::parse(shown->body)["sourceAvailable"], served) << what;
    }
    server.Stop();
    serving.join();
}

}  // namespace
}  // namespace wertowik::web

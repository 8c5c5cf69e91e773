// wertowik serve: the server on 127.0.0.1 and a free port, asked through an HTTP client.
#include "host/web/web_server.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <httplib.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <nlohmann/json.hpp>
#include <thread>

#include "cli_runner.h"
#include "host/catalogue/catalogue.h"
#include "host/discs/disc_source.h"
#include "host/discs/disc_tree.h"
#include "host/web/web_guard.h"

namespace wertowik::web {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using wtk::test::TempDir;

constexpr char kAppPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'self'";
const std::string kHostile = "<img src=x onerror=alert(1)>";

std::string U16(uint16_t value) { return std::string{static_cast<char>(value & 0xFF), static_cast<char>(value >> 8)}; }

std::string DiscBytes(uint16_t id, const std::string& name) {
    const std::string label = "HOSTILE";
    return U16(id) + '\x05' + U16(2004) + static_cast<char>(label.size()) + label +
           std::string(14 - label.size(), '\0') + std::string(4, '\0') + static_cast<char>(name.size()) + name;
}

std::string EntryBytes(uint16_t id, uint8_t licence, const std::string& name, const std::string& description) {
    return U16(id) + static_cast<char>(licence) + static_cast<char>(name.size()) + '\0' + '\x03' +
           U16(static_cast<uint16_t>(description.size())) + name + "1.0" + description;
}

void Write(const fs::path& file, const std::string& text) {
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

// A catalogue of one folder disc (with a page, a folder, links that lead out) and its programs.
class WebServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        disc = folder / "disc";
        Write(disc / "INDEX.HTM", "<html><script>alert(1)</script><p>strona</p></html>");
        Write(disc / "Programy" / "sub" / "deep.htm", "<p>deep</p>");
        Write(disc / "Programy" /
                  "narz\xC4\x99"
                  "dzia.txt",
              "x");
        Write(folder / "secret.htm", "outside");
        fs::create_directory_symlink("/etc", disc / "etc");
        fs::create_symlink(folder / "secret.htm", disc / "secret.htm");
        Catalogue catalogue = Catalogue::Open(file(), Catalogue::Access::Write);
        std::string entries = EntryBytes(1, 2,
                                         "Narz\xEA"
                                         "dzia sieciowe",
                                         "siec") +
                              EntryBytes(1, 2,
                                         "\xA3\xF3"
                                         "d\x9F Edytor",
                                         "edytor") +  // Łódź Edytor
                              EntryBytes(1, 0, "<script>alert(2)</script>", kHostile);
        for (int i = 0; i < 120; ++i) {
            entries += EntryBytes(1, 3, "Program " + std::to_string(i), "wspolny opis");
        }
        const DiscTree tree = WalkDisc(*OpenFolderDisc(disc));
        const std::string discs = DiscBytes(1, kHostile);
        const StoreOutcome stored =
            catalogue.Store(Submission{"chip", disc.string(), 0, 1, discs, entries, "", &tree}, false);
        ASSERT_EQ(stored.status, StoreStatus::Stored) << stored.reason;
        // A disc read from its image, and one whose image is gone since.
        for (const fs::path& image : {wtk::test::SampleImage("ks-ekspert"), folder / "gone.iso"}) {
            if (!fs::exists(image)) {
                fs::copy_file(wtk::test::SampleImage("ks-ekspert"), image);
            }
            const DiscTree imageTree = WalkDisc(*OpenIsoDisc(image));
            const uint16_t id = catalogue.NextFreeId();
            const std::string record = DiscBytes(id, "obraz");
            ASSERT_EQ(
                catalogue.Store(Submission{"tarvo", image.string(), 0, id, record, "", "", &imageTree}, true).status,
                StoreStatus::Stored);
        }
        fs::remove(folder / "gone.iso");
        server = std::make_unique<WebServer>(ServeOptions{file(), "127.0.0.1", 0});
        serving = std::thread([this] { server->Run(); });
        client = std::make_unique<httplib::Client>("127.0.0.1", server->port());
    }
    void TearDown() override {
        if (server) {
            server->Stop();
            serving.join();
        }
    }
    fs::path file() const { return folder / "catalogue.sqlite"; }
    json Get(const std::string& path) {
        const auto answer = client->Get(path.c_str());
        EXPECT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, 200) << path << ": " << answer->body;
        return json::parse(answer->body);
    }
    std::string host(int port) const { return "127.0.0.1:" + std::to_string(port); }

    TempDir folder;
    fs::path disc;
    std::unique_ptr<WebServer> server;
    std::thread serving;
    std::unique_ptr<httplib::Client> client;
};

TEST_F(WebServerTest, RefusesRequestsForAnotherHost) {
    const int port = server->port();
    const std::string p = std::to_string(port);
    const std::vector<std::pair<std::string, int>> cases{
        {"127.0.0.1:" + p, 200},
        {"localhost:" + p, 200},
        {"LOCALHOST:" + p, 200},
        {"[::1]:" + p, 200},
        {"evil.example:" + p, 403},
        {"127.0.0.1.evil.example:" + p, 403},
        {"127.0.0.1:" + std::to_string(port + 1), 403},
        {"127.0.0.1", 403},
        {"localhost:" + p + "@evil", 403},
        {"", 403},
        {"127.0.0.1:0" + p, 403},
    };
    for (const auto& [value, status] : cases) {
        const auto answer = client->Get("/api/discs", {{"Host", value}});
        ASSERT_TRUE(answer) << value;
        EXPECT_EQ(answer->status, status) << value;
    }
}

TEST(HostAllowed, NamesTheServedAddressOnly) {
    // A wildcard address is reached at the machine's own addresses alone.
    const std::vector<std::string> machine{"127.0.0.1", "192.168.1.5", "fe80::1"};
    const std::vector<std::tuple<std::string, std::string, bool>> cases{
        {"192.168.1.5:8080", "192.168.1.5", true},
        {"localhost:8080", "192.168.1.5", false},
        {"nas.local:8080", "192.168.1.5", false},
        {"192.168.1.5:8080", "0.0.0.0", true},
        {"10.0.0.2:8080", "0.0.0.0", false},
        {"rebind.example:8080", "0.0.0.0", false},
        {"[fe80::1]:8080", "::", true},
        {"[FE80:0::1]:8080", "::", true},
        {"[fe80::2]:8080", "::", false},
        {"127.0.0.2:8080", "127.0.0.2", true},
        {"127.0.0.1:8080", "127.0.0.2", true},
        {"[::1]:8080", "::1", true},
        {"localhost:8080", "0.0.0.0", true},
        {"[::1:8080", "::1", false},
        {"192.168.1.5:08080", "192.168.1.5", false},
    };
    for (const auto& [host, address, allowed] : cases) {
        EXPECT_EQ(HostAllowed(host, ServedNames(address, machine), 8080), allowed) << host << " on " << address;
    }
}

TEST_F(WebServerTest, AnswersOnlyGetAndHead) {
    for (const char* method : {"POST", "PUT", "DELETE", "PATCH", "OPTIONS"}) {
        httplib::Request request;
        request.method = method;
        request.path = "/api/discs";
        const auto answer = client->send(request);
        ASSERT_TRUE(answer) << method;
        EXPECT_EQ(answer->status, 405) << method;
    }
    const auto head = client->Head("/api/discs");
    ASSERT_TRUE(head);
    EXPECT_EQ(head->status, 200);
    EXPECT_TRUE(head->body.empty());
}

TEST_F(WebServerTest, EveryAnswerCarriesTheContentPolicy) {
    for (const auto& [path, hostHeader] : std::vector<std::pair<std::string, std::string>>{{"/", ""},
                                                                                           {"/app.js", ""},
                                                                                           {"/api/discs", ""},
                                                                                           {"/api/nothing", ""},
                                                                                           {"/nothing", ""},
                                                                                           {"/", "evil.example"}}) {
        httplib::Headers headers;
        if (!hostHeader.empty()) {
            headers.emplace("Host", hostHeader);
        }
        const auto answer = client->Get(path.c_str(), headers);
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->get_header_value("Content-Security-Policy"), kAppPolicy) << path;
        EXPECT_EQ(answer->get_header_value("X-Content-Type-Options"), "nosniff") << path;
    }
}

TEST_F(WebServerTest, ServesTheDiscsPagesThroughItsSourceAndNothingOutside) {
    const std::vector<std::pair<std::string, int>> cases{
        {"/disc/1/content/INDEX.HTM", 200},
        {"/disc/1/content/index.htm", 200},
        {"/disc/1/content/Programy/sub/deep.htm", 200},
        {"/disc/1/content/Programy/sub/../sub/deep.htm", 404},
        {"/disc/1/content/../../catalogue.sqlite", 404},
        {"/disc/1/content/%2e%2e/secret.htm", 404},
        {"/disc/1/content/secret.htm", 404},
        {"/disc/1/content/etc/passwd", 404},
        {"/disc/1/content//etc/passwd", 404},
        {"/disc/1/content/Programy%5c..%5c..%5csecret.htm", 404},
        {"/disc/1/content/INDEX.HTM%00.txt", 404},
        {"/disc/4/content/INDEX.HTM", 404},
        {"/disc/2/content/datalo/htm/narzedzia.htm", 200},
        {"/disc/2/content/DATALO/HTM/NARZEDZIA.HTM", 200},
        {"/disc/2/content/datalo/htm/../../../../etc/passwd", 404},
        {"/disc/3/content/datalo/htm/narzedzia.htm", 404},
        {"/disc/1/content/Programy", 404},
    };
    for (const auto& [path, status] : cases) {
        const auto answer = client->Get(path.c_str());
        ASSERT_TRUE(answer) << path;
        EXPECT_EQ(answer->status, status) << path;
        if (status == 200) {
            // One policy, the page's own: no script of the disc runs, in no origin of the application.
            EXPECT_EQ(answer->get_header_value_count("Content-Security-Policy"), 1u);
            EXPECT_TRUE(answer->get_header_value("Content-Security-Policy").starts_with("sandbox;"));
            EXPECT_EQ(answer->get_header_value("Content-Type"), "text/html");
            EXPECT_NE(answer->body.find("<p"), std::string::npos) << path;
        }
    }
    EXPECT_EQ(client->Get("/disc/1/content/INDEX.HTM")->body, "<html><script>alert(1)</script><p>strona</p></html>");
}

// The disc was stored without where its folder lies (as by an older wertowik): its path must still
// be the folder's real one.
TEST_F(WebServerTest, AFolderDiscReplacedByALinkIsNotServed) {
    ASSERT_EQ(client->Get("/disc/1/content/INDEX.HTM")->status, 200);
    fs::rename(disc, folder / "moved");
    fs::create_directory_symlink(folder.path(), disc);
    for (const char* path :
         {"/disc/1/content/INDEX.HTM", "/disc/1/content/secret.htm", "/disc/1/content/moved/INDEX.HTM"}) {
        EXPECT_EQ(client->Get(path)->status, 404) << path;
    }
    EXPECT_EQ(Get("/api/disc/1")["sourceAvailable"], false);
}

TEST(SplitDiscPath, TakesPlainNamesOnly) {
    std::vector<std::string> names;
    for (const char* refused : {"", "/a", "a//b", "a/./b", "a/../b", "..", "a\\b", "C:/x", "a/b/", "a\x01", "a\x7F"}) {
        EXPECT_FALSE(SplitDiscPath(refused, names)) << refused;
    }
    ASSERT_TRUE(SplitDiscPath("INSTALL/read me.htm", names));
    EXPECT_EQ(names, (std::vector<std::string>{"INSTALL", "read me.htm"}));
}

TEST(PageLanguage, FollowsTheBrowsersFirstChoice) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"pl-PL,pl;q=0.9,en;q=0.8", "pl"},
        {"PL", "pl"},
        {"en-US,pl;q=0.5", "en"},
        {"de,pl;q=0.9", "en"},
        {"en;q=0.3,pl;q=0.7", "pl"},
        {"pl;q=0", "en"},
        {"", "en"},
        {"*", "en"},
    };
    for (const auto& [header, language] : cases) {
        EXPECT_EQ(PageLanguage(header), language) << header;
    }
}

TEST_F(WebServerTest, ThePageIsInTheBrowsersLanguage) {
    EXPECT_NE(client->Get("/", {{"Accept-Language", "pl-PL,pl;q=0.9"}})->body.find("<html lang=\"pl\">"),
              std::string::npos);
    EXPECT_NE(client->Get("/disc/1", {{"Accept-Language", "en-GB"}})->body.find("<html lang=\"en\">"),
              std::string::npos);
}

TEST_F(WebServerTest, SearchFoldsAsTheCommandLineDoes) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"narzedzia",
         "Narz\xC4\x99"
         "dzia sieciowe"},
        {"NARZĘDZIA",
         "Narz\xC4\x99"
         "dzia sieciowe"},
        {"lodz",
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA Edytor"},
        {"\xC5\x82\xC3\xB3"
         "d\xC5\xBA",
         "\xC5\x81\xC3\xB3"
         "d\xC5\xBA Edytor"},
    };
    for (const auto& [query, name] : cases) {
        const json found = Get("/api/search?q=" + httplib::detail::encode_query_param(query));
        ASSERT_EQ(found["matches"].size(), 1u) << query;
        EXPECT_EQ(found["matches"][0]["name"], name) << query;
    }
    const json files = Get("/api/files?q=narzedzia&library=chip");
    ASSERT_EQ(files["files"].size(), 1u);
    EXPECT_EQ(files["files"][0]["path"],
              "Programy/narz\xC4\x99"
              "dzia.txt");
    EXPECT_EQ(Get("/api/search?q=hostile")["discs"][0]["name"], kHostile);
    EXPECT_EQ(client->Get("/api/search?q=x&licence=nonsense")->status, 400);
    EXPECT_EQ(client->Get("/api/search?q=x&disc=70000")->status, 400);
}

TEST_F(WebServerTest, SearchFindsWhatTheCommandFinds) {
    for (const std::string query : {"narzedzia", "lodz", "wspolny", "*.htm", "hostile", "program 1", "setup"}) {
        json page = Get("/api/search?q=" + httplib::detail::encode_query_param(query));
        for (json& found : page["files"]) {
            found.erase("id");  // what the page needs to open a folder, beyond the command's shape
        }
        const auto command = wtk::test::RunWertowik({"search", query, "--json", "--catalogue", file().string()});
        ASSERT_EQ(command.exitCode, 0) << command.err;
        const json printed = command.Json();
        for (const char* part : {"discs", "matches", "files"}) {
            EXPECT_EQ(page[part], printed[part].is_null() ? json::array() : printed[part]) << query << " " << part;
        }
    }
}

TEST_F(WebServerTest, SearchResultsComeInPages) {
    const std::vector<std::tuple<int, std::size_t, bool, std::string>> cases{
        {0, 50, true, "Program 0"}, {1, 50, true, "Program 50"}, {2, 20, false, "Program 100"}, {3, 0, false, ""}};
    for (const auto& [page, count, more, first] : cases) {
        const json found = Get("/api/search?q=wspolny&page=" + std::to_string(page));
        ASSERT_EQ(found["matches"].size(), count) << page;
        EXPECT_EQ(found["more"], more) << page;
        if (count > 0) {
            EXPECT_EQ(found["matches"][0]["name"], first);
        }
    }
    EXPECT_EQ(client->Get("/api/search?q=wspolny&page=-1")->status, 400);
    EXPECT_EQ(client->Get("/api/search?q=wspolny&page=100000")->status, 400);
}

TEST_F(WebServerTest, AFolderIsListedWhenOpened) {
    const json root = Get("/api/disc/1/files");
    std::vector<std::string> names;
    int64_t programy = 0;
    for (const json& file : root["files"]) {
        names.push_back(file["path"]);
        programy = file["name"] == "Programy" ? file["id"].get<int64_t>() : programy;
    }
    EXPECT_EQ(names, (std::vector<std::string>{"INDEX.HTM", "Programy"}));
    const json folderFiles = Get("/api/disc/1/files?parent=" + std::to_string(programy));
    std::vector<std::string> inside;
    for (const json& file : folderFiles["files"]) {
        inside.push_back(file["path"]);
    }
    std::sort(inside.begin(), inside.end());
    EXPECT_EQ(inside, (std::vector<std::string>{"Programy/narz\xC4\x99"
                                                "dzia.txt",
                                                "Programy/sub"}));
    EXPECT_TRUE(Get("/api/disc/1/files?parent=1")["files"].empty());  // a file holds nothing
    EXPECT_EQ(client->Get("/api/disc/9/files")->status, 404);
    const json shown = Get("/api/disc/1");
    EXPECT_EQ(shown["entries"].size(), 123u);
    EXPECT_EQ(shown["sourceAvailable"], true);
    EXPECT_EQ(Get("/api/disc/3")["sourceAvailable"], false);  // its image is gone
}

TEST_F(WebServerTest, ExportsTheCatalogueOrASearch) {
    const auto whole = client->Get("/api/export?format=json");
    ASSERT_EQ(whole->status, 200);
    EXPECT_EQ(json::parse(whole->body)["discs"][0]["entries"].size(), 123u);
    EXPECT_EQ(json::parse(whole->body)["discs"].size(), 3u);
    const auto found = client->Get("/api/export?format=csv&q=lodz");
    ASSERT_EQ(found->status, 200);
    EXPECT_EQ(found->get_header_value("Content-Disposition"), "attachment; filename=\"wertowik.csv\"");
    EXPECT_EQ(std::count(found->body.begin(), found->body.end(), '\n'), 2) << found->body;
    EXPECT_NE(found->body.find("\xC5\x81\xC3\xB3"
                               "d\xC5\xBA Edytor"),
              std::string::npos);
    EXPECT_EQ(client->Get("/api/export?format=xml")->status, 400);
}

// A connection that sends half a request and then nothing, holding a worker until its time runs out.
int SlowConnection(int port) {
    const int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    EXPECT_EQ(::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string half = "GET /api/discs HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: ";
    EXPECT_EQ(::send(socket, half.data(), half.size(), 0), static_cast<ssize_t>(half.size()));
    return socket;
}

TEST_F(WebServerTest, SlowAndHugeRequestsDoNotStopOthers) {
    std::vector<int> slow;
    for (int i = 0; i < 32; ++i) {
        slow.push_back(SlowConnection(server->port()));
    }
    httplib::Client other("127.0.0.1", server->port());
    other.set_read_timeout(std::chrono::seconds(2));  // below the slow connections' own
    const auto answer = other.Get("/api/discs");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->status, 200);
    const auto huge = client->Get("/api/discs", {{"X-Huge", std::string(1 << 20, 'a')}});
    EXPECT_TRUE(!huge || huge->status >= 400);
    httplib::Request upload;
    upload.method = "GET";
    upload.path = "/api/discs";
    upload.body = std::string(1 << 20, 'b');
    upload.set_header("Content-Type", "application/octet-stream");
    const auto body = client->send(upload);
    EXPECT_TRUE(!body || body->status == 413);
    const auto again = other.Get("/api/discs");
    ASSERT_TRUE(again);
    EXPECT_EQ(again->status, 200);
    for (const int socket : slow) {
        ::close(socket);
    }
}

TEST_F(WebServerTest, ReadsACatalogueBeingWrittenConsistently) {
    std::atomic<bool> done = false;
    std::thread writer([&] {
        Catalogue catalogue = Catalogue::Open(file(), Catalogue::Access::Write);
        for (int round = 0; round < 40; ++round) {
            const uint16_t id = catalogue.NextFreeId();
            std::string entries;
            for (int i = 0; i < 30; ++i) {
                entries += EntryBytes(id, 1, "Nowy " + std::to_string(i), "opis");
            }
            const std::string discs = DiscBytes(id, "Nowa " + std::to_string(round));
            catalogue.Store(Submission{"chip", "/nowhere", 0, id, discs, entries, ""}, true);
            catalogue.Remove(id);
        }
        done = true;
    });
    int checked = 0;
    while (!done || checked == 0) {
        const json exported = Get("/api/export?format=json");
        for (const json& disc : exported["discs"]) {
            EXPECT_EQ(disc["programs"], disc["entries"].size()) << disc["name"];
        }
        ++checked;
    }
    writer.join();
    // The writer's discs are all gone again; the three of the catalogue are as they were.
    EXPECT_EQ(Get("/api/discs").size(), 3u);
}

}  // namespace
}  // namespace wertowik::web

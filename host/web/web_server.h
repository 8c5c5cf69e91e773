// wertowik serve: the catalogue as a read-only web application on this machine.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace wertowik::web {

struct ServeOptions {
    std::filesystem::path catalogue;
    std::string address = "127.0.0.1";
    int port = 8080;  // 0: any free port
};

// The pages and the API, served by a pool of threads, each request reading the catalogue through a
// connection of its own in one read transaction. Listens from construction on; throws HostError
// when the address cannot be bound.
class WebServer {
public:
    explicit WebServer(const ServeOptions& options);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    int port() const;
    // The address of the first page, for a browser.
    std::string url() const;
    // Serves until Stop() is called (from another thread or a signal handler's thread).
    void Run();
    void Stop();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace wertowik::web

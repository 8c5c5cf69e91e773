// wertowik serve: the catalogue as a read-only web application on this machine.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "host/web/http_gate.h"

namespace wertowik::web {

struct ServeOptions {
    std::filesystem::path catalogue;
    std::string address = "127.0.0.1";
    int port = 8080;  // 0: any free port
    GateLimits limits;
};

// The pages and the API, each request read whole by the gate (http_gate.h) and answered by one of
// its workers, reading the catalogue through a connection of its own in one read transaction.
// Listens from construction on; throws HostError when the address cannot be bound, or the port is
// another process's.
class WebServer {
public:
    explicit WebServer(const ServeOptions& options);
    ~WebServer();
    WebServer(const WebServer&) = delete;
    WebServer& operator=(const WebServer&) = delete;

    int port() const;
    // The addresses of the first page, for a browser: this computer's own first (its loopback
    // address when the server listens there too), then those it is reached at from elsewhere.
    const std::vector<std::string>& urls() const;
    std::string url() const { return urls().front(); }
    // Whether the server can be reached from other computers (it listens on no loopback address).
    bool Open() const;
    // Serves until Stop() is called (from another thread or a signal handler's thread).
    void Run();
    void Stop();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace wertowik::web

// The web view's sockets: the port listened on (never shared with another process), the
// connections accepted, each request's head read within bounds and a deadline by one thread that
// waits on them all, and only a whole head handed to a worker to be answered. A client that sends
// slowly, or sends without end, thus holds no worker; and the whole ends at once when told to.
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>

namespace wertowik::web {

struct GateLimits {
    std::size_t longestLine = 8 * 1024;           // a line of the head, the request line among them
    std::size_t longestHead = 64 * 1024;          // the whole head
    std::chrono::milliseconds headTime{10'000};   // from a head's first byte to its end
    std::chrono::milliseconds idleTime{2'000};    // a kept-alive connection waiting for its next request
    std::chrono::milliseconds stallTime{10'000};  // an answer the client takes nothing of
    std::size_t workers = 16;
    std::size_t connections = 512;  // open at once; past it the one waiting longest for its head goes
    std::size_t requestsPerConnection = 100;
};

// Answers one request whose whole head the stream holds, as httplib's server does: false when the
// connection is to be closed; closeAfter asks for the answer to close it, closed tells that it did.
using AnswerRequest = std::function<bool(httplib::Stream& stream, bool closeAfter, bool& closed)>;

class HttpGate {
public:
    // Listens on the address (a numeric one, or a name such as localhost) and port (0: any free
    // one). Throws HostError (73) with the system's reason when it cannot, a port in use among them.
    // extraHeaders: lines ("Name: value\r\n") every answer of the gate's own carries.
    HttpGate(const std::string& address, int port, const GateLimits& limits, std::string extraHeaders);
    ~HttpGate();
    HttpGate(const HttpGate&) = delete;
    HttpGate& operator=(const HttpGate&) = delete;

    int port() const;
    // The address listened on, as a literal ("127.0.0.1", "0.0.0.0", "::").
    const std::string& address() const;
    // The listening socket, while it is open.
    int socket() const;
    // Serves until Stop(): each whole head is answered by answer on a worker.
    void Run(const AnswerRequest& answer);
    // Ends Run() from any thread: no more connections are taken, those waiting are closed, and an
    // answer being written ends at its next write.
    void Stop();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace wertowik::web

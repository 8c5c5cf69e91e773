#include "host/web/http_gate.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "host/base/errors.h"
#include "host/base/messages.h"

namespace wertowik::web {

namespace {

using Clock = std::chrono::steady_clock;

// A connection accepted, with what has been read of it and not yet answered.
struct Connection {
    int fd = -1;
    std::string bytes;        // the next request's head, and whatever came after it
    std::size_t scanned = 0;  // how much of bytes has been checked for whole lines
    std::size_t lineStart = 0;
    std::size_t headEnd = 0;     // past the blank line that ends the head; 0 while it has not come
    Clock::time_point since;     // when it began to wait in the gate
    Clock::time_point deadline;  // when it is closed unless something happens first
    std::size_t served = 0;
    bool draining = false;  // refused: what more it sends is read and dropped until it is closed
    std::size_t drained = 0;
    std::string ip;
    int port = 0;

    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    ~Connection() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

using Owned = std::unique_ptr<Connection>;

enum class Head { Partial, Whole, LineTooLong, HeadTooLong, FirstLineTooLong };

// Checks what came since the last look: every line no longer than the limits allow, the whole head
// no longer either; Whole once the blank line that ends it has come (headEnd set).
Head Scan(Connection& connection, const GateLimits& limits) {
    const std::string& bytes = connection.bytes;
    for (std::size_t at = connection.scanned; at < bytes.size(); ++at) {
        if (bytes[at] != '\n') {
            continue;
        }
        const std::size_t length = at - connection.lineStart;  // without its LF
        if (length > limits.longestLine + 1) {
            return connection.lineStart == 0 ? Head::FirstLineTooLong : Head::LineTooLong;
        }
        if (length == 1 && bytes[connection.lineStart] == '\r' && connection.lineStart > 0) {
            connection.headEnd = at + 1;
            connection.scanned = at + 1;
            return Head::Whole;
        }
        connection.lineStart = at + 1;
    }
    connection.scanned = bytes.size();
    if (bytes.size() - connection.lineStart > limits.longestLine + 1) {
        return connection.lineStart == 0 ? Head::FirstLineTooLong : Head::LineTooLong;
    }
    return bytes.size() > limits.longestHead ? Head::HeadTooLong : Head::Partial;
}

// Whether a head announces a body (which nothing here takes): the connection then ends with the answer.
bool AnnouncesBody(std::string_view head) {
    std::size_t start = head.find('\n');
    while (start != std::string_view::npos && start + 1 < head.size()) {
        const std::size_t end = head.find('\n', start + 1);
        const std::string_view line = head.substr(start + 1, end == std::string_view::npos ? end : end - start - 1);
        start = end;
        const std::size_t colon = line.find(':');
        if (colon == std::string_view::npos) {
            continue;
        }
        std::string name(line.substr(0, colon));
        std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return std::tolower(c); });
        if (name == "transfer-encoding" || (name == "content-length" && line.substr(colon + 1).find_first_not_of(
                                                                            " \t\r0") != std::string_view::npos)) {
            return true;
        }
    }
    return false;
}

std::string AddressText(const sockaddr_storage& address, int& port) {
    char text[INET6_ADDRSTRLEN] = "";
    if (address.ss_family == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &in->sin_addr, text, sizeof text);
        port = ntohs(in->sin_port);
    } else if (address.ss_family == AF_INET6) {
        const auto* in = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &in->sin6_addr, text, sizeof text);
        port = ntohs(in->sin6_port);
    }
    return text;
}

int Milliseconds(Clock::duration duration) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(duration).count();
    return static_cast<int>(std::clamp<int64_t>(ms, 0, 60'000));
}

}  // namespace

struct HttpGate::State {
    GateLimits limits;
    std::string extraHeaders;
    int listening = -1;
    int port = 0;
    std::string address;
    int stopEvent = -1;  // readable once Stop() was called, for the gate and every worker alike
    int wakeEvent = -1;  // a worker gave a connection back
    std::atomic<bool> stopping = false;

    std::mutex mutex;
    std::condition_variable ready;
    std::deque<Owned> whole;            // heads read whole, for the workers
    std::vector<Owned> givenBack;       // answered and kept alive, for the gate
    std::atomic<std::size_t> busy = 0;  // handed to the workers and not yet given back or closed

    ~State() {
        for (const int fd : {listening, stopEvent, wakeEvent}) {
            if (fd >= 0) {
                ::close(fd);
            }
        }
    }

    // Waits until the socket is ready for events or the gate stops; false on a stop or when the time passed.
    bool WaitFor(int fd, short events, std::chrono::milliseconds time) const {
        pollfd waits[2] = {{fd, events, 0}, {stopEvent, POLLIN, 0}};
        const auto end = Clock::now() + time;
        for (;;) {
            const int status = ::poll(waits, 2, Milliseconds(end - Clock::now()));
            if (status < 0 && errno == EINTR) {
                continue;
            }
            return status > 0 && waits[1].revents == 0 && waits[0].revents != 0;
        }
    }

    // The answer of the gate itself to a head it refuses, written as far as the socket takes it at
    // once; the connection then drains what the client still sends, so that the answer is not lost
    // to a reset, and is closed soon.
    void Refuse(Connection& connection, int status, const char* reason, const char* text) const {
        const std::string body = std::string(text) + "\n";
        const std::string answer = "HTTP/1.1 " + std::to_string(status) + " " + reason +
                                   "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
                                   "\r\nConnection: close\r\n" + extraHeaders + "\r\n" + body;
        [[maybe_unused]] const ssize_t sent =
            ::send(connection.fd, answer.data(), answer.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        ::shutdown(connection.fd, SHUT_WR);
        connection.draining = true;
        connection.bytes.clear();
        connection.deadline = Clock::now() + std::chrono::seconds(1);
    }
};

namespace {

// A connection as httplib's server reads and writes it: the head from what the gate read, the
// rest from the socket; every wait bounded and cut short by a stop.
class GateStream final : public httplib::Stream {
public:
    GateStream(Connection& connection, const GateLimits& limits,
               const std::function<bool(int, short, std::chrono::milliseconds)>& wait,
               const std::atomic<bool>& stopping)
        : connection_(connection), limits_(limits), wait_(wait), stopping_(stopping) {}

    // What was read and not taken stays with the connection, for its next request.
    ~GateStream() override { connection_.bytes.erase(0, taken_); }

    bool is_readable() const override {
        return taken_ < connection_.bytes.size() || wait_(connection_.fd, POLLIN, kReadTime);
    }
    bool is_writable() const override { return !stopping_; }

    ssize_t read(char* into, size_t size) override {
        if (taken_ < connection_.bytes.size()) {
            const std::size_t n = std::min(size, connection_.bytes.size() - taken_);
            std::memcpy(into, connection_.bytes.data() + taken_, n);
            taken_ += n;
            return static_cast<ssize_t>(n);
        }
        for (;;) {
            if (!wait_(connection_.fd, POLLIN, kReadTime)) {
                return -1;
            }
            const ssize_t got = ::recv(connection_.fd, into, size, MSG_DONTWAIT);
            if (got >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)) {
                return got;
            }
        }
    }

    ssize_t write(const char* bytes, size_t size) override {
        std::size_t sent = 0;
        while (sent < size) {
            if (stopping_) {
                return -1;
            }
            const ssize_t n = ::send(connection_.fd, bytes + sent, size - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
            if (n > 0) {
                sent += static_cast<std::size_t>(n);
            } else if (n < 0 && errno == EINTR) {
                continue;
            } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (!wait_(connection_.fd, POLLOUT, limits_.stallTime)) {
                    return -1;  // the client takes nothing, or the server stops
                }
            } else {
                return -1;
            }
        }
        return static_cast<ssize_t>(size);
    }

    void get_remote_ip_and_port(std::string& ip, int& port) const override {
        ip = connection_.ip;
        port = connection_.port;
    }

    void get_local_ip_and_port(std::string& ip, int& port) const override {
        sockaddr_storage address{};
        socklen_t length = sizeof address;
        port = 0;
        if (::getsockname(connection_.fd, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
            ip = AddressText(address, port);
        }
    }

    socket_t socket() const override { return connection_.fd; }

private:
    static constexpr std::chrono::milliseconds kReadTime{3000};

    Connection& connection_;
    const GateLimits& limits_;
    const std::function<bool(int, short, std::chrono::milliseconds)>& wait_;
    const std::atomic<bool>& stopping_;
    std::size_t taken_ = 0;
};

// A socket listening on the address and port, with SO_REUSEADDR (a port whose last connections
// are still closing can be taken again) but never SO_REUSEPORT: a port another process listens on
// is refused, not shared with it.
int Listen(const std::string& address, int port, std::string& boundAddress, int& boundPort) {
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(port);
    if (const int status = ::getaddrinfo(address.empty() ? nullptr : address.c_str(), service.c_str(), &hints, &found);
        status != 0) {
        throw HostError(kExitCantCreate,
                        Say("cannot listen on {1} port {2}: {3}", address, port, ::gai_strerror(status)));
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, &::freeaddrinfo);
    int error = EADDRNOTAVAIL;
    for (const addrinfo* at = found; at != nullptr; at = at->ai_next) {
        const int fd = ::socket(at->ai_family, at->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, at->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        const int yes = 1;
        ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
        if (::bind(fd, at->ai_addr, at->ai_addrlen) != 0 || ::listen(fd, SOMAXCONN) != 0) {
            error = errno;
            ::close(fd);
            continue;
        }
        sockaddr_storage bound{};
        socklen_t length = sizeof bound;
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
        boundAddress = AddressText(bound, boundPort);
        return fd;
    }
    throw HostError(kExitCantCreate, Say("cannot listen on {1} port {2}: {3}", address, port, std::strerror(error)));
}

}  // namespace

HttpGate::HttpGate(const std::string& address, int port, const GateLimits& limits, std::string extraHeaders)
    : state_(std::make_unique<State>()) {
    state_->limits = limits;
    state_->extraHeaders = std::move(extraHeaders);
    state_->stopEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    state_->wakeEvent = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (state_->stopEvent < 0 || state_->wakeEvent < 0) {
        throw HostError(kExitCantCreate,
                        Say("cannot listen on {1} port {2}: {3}", address, port, std::strerror(errno)));
    }
    state_->listening = Listen(address, port, state_->address, state_->port);
}

HttpGate::~HttpGate() { Stop(); }

int HttpGate::port() const { return state_->port; }

int HttpGate::socket() const { return state_->listening; }

const std::string& HttpGate::address() const { return state_->address; }

void HttpGate::Stop() {
    state_->stopping = true;
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(state_->stopEvent, &one, sizeof one);
    state_->ready.notify_all();
}

void HttpGate::Run(const AnswerRequest& answer) {
    State& state = *state_;
    const GateLimits& limits = state.limits;
    const std::function<bool(int, short, std::chrono::milliseconds)> wait =
        [&state](int fd, short events, std::chrono::milliseconds time) { return state.WaitFor(fd, events, time); };

    const auto work = [&] {
        for (;;) {
            Owned connection;
            {
                std::unique_lock lock(state.mutex);
                state.ready.wait(lock, [&] { return state.stopping || !state.whole.empty(); });
                if (state.stopping) {
                    return;
                }
                connection = std::move(state.whole.front());
                state.whole.pop_front();
            }
            const bool last = connection->served + 1 >= limits.requestsPerConnection ||
                              AnnouncesBody(std::string_view(connection->bytes).substr(0, connection->headEnd));
            bool closed = false, answered = false;
            {
                GateStream stream(*connection, limits, wait, state.stopping);
                answered = answer(stream, last, closed);
            }
            if (answered && !closed && !last && !state.stopping) {
                ++connection->served;
                const std::lock_guard lock(state.mutex);
                state.givenBack.push_back(std::move(connection));
                const uint64_t one = 1;
                [[maybe_unused]] const ssize_t written = ::write(state.wakeEvent, &one, sizeof one);
            } else {
                connection.reset();
                --state.busy;
            }
        }
    };
    std::vector<std::thread> workers;
    for (std::size_t i = 0; i < limits.workers; ++i) {
        workers.emplace_back(work);
    }

    std::vector<Owned> waiting;
    // Where a connection goes once its head was looked at: to the workers when it came whole, else
    // (refused, or still to come) into the list given.
    const auto place = [&](Owned connection, Head head, std::vector<Owned>& into) {
        switch (head) {
            case Head::Whole: {
                ++state.busy;
                const std::lock_guard lock(state.mutex);
                state.whole.push_back(std::move(connection));
                state.ready.notify_one();
                return;
            }
            case Head::FirstLineTooLong:
                state.Refuse(*connection, 414, "URI Too Long", "The request line is too long.");
                break;
            case Head::LineTooLong:
            case Head::HeadTooLong:
                state.Refuse(*connection, 431, "Request Header Fields Too Large", "The request's head is too long.");
                break;
            case Head::Partial: break;
        }
        into.push_back(std::move(connection));
    };

    std::vector<pollfd> waits;
    while (!state.stopping) {
        const Clock::time_point now = Clock::now();
        Clock::time_point next = now + std::chrono::seconds(60);
        waits.assign({{state.stopEvent, POLLIN, 0}, {state.wakeEvent, POLLIN, 0}, {state.listening, POLLIN, 0}});
        for (const Owned& connection : waiting) {
            waits.push_back({connection->fd, POLLIN, 0});
            next = std::min(next, connection->deadline);
        }
        if (::poll(waits.data(), waits.size(), Milliseconds(next - now) + 1) < 0 && errno != EINTR) {
            break;
        }
        if (state.stopping) {
            break;
        }
        // What each connection sent: read as far as its head goes, and looked at.
        std::vector<Owned> still;
        for (std::size_t i = 0; i < waiting.size(); ++i) {
            Owned& connection = waiting[i];
            if (waits[i + 3].revents == 0) {
                still.push_back(std::move(connection));
                continue;
            }
            char buffer[16 * 1024];
            const ssize_t got = ::recv(connection->fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
                still.push_back(std::move(connection));
                continue;
            }
            if (got <= 0) {
                continue;  // closed by the client, or broken: closed here too
            }
            if (connection->draining) {
                connection->drained += static_cast<std::size_t>(got);
                if (connection->drained < limits.longestHead) {
                    still.push_back(std::move(connection));
                }
                continue;
            }
            if (connection->bytes.empty() && connection->served > 0) {
                // The next head of a kept-alive connection begins: it has as long as a first one.
                connection->deadline = Clock::now() + limits.headTime;
            }
            connection->bytes.append(buffer, static_cast<std::size_t>(got));
            const Head head = Scan(*connection, limits);
            place(std::move(connection), head, still);
        }
        waiting = std::move(still);
        // Past their deadlines: a head begun and not ended is told so, the rest are closed.
        const Clock::time_point after = Clock::now();
        std::erase_if(waiting, [&](Owned& connection) {
            if (connection->deadline > after) {
                return false;
            }
            if (!connection->draining && !connection->bytes.empty()) {
                state.Refuse(*connection, 408, "Request Timeout", "The request's head took too long.");
            }
            return true;
        });
        if (waits[1].revents != 0) {
            uint64_t count = 0;
            [[maybe_unused]] const ssize_t read = ::read(state.wakeEvent, &count, sizeof count);
            std::vector<Owned> back;
            {
                const std::lock_guard lock(state.mutex);
                back.swap(state.givenBack);
            }
            for (Owned& connection : back) {
                --state.busy;
                // What came after the last head: the next head, whole or begun, else nothing yet.
                connection->scanned = connection->lineStart = connection->headEnd = 0;
                connection->since = after;
                connection->deadline = after + (connection->bytes.empty() ? limits.idleTime : limits.headTime);
                const Head head = connection->bytes.empty() ? Head::Partial : Scan(*connection, limits);
                place(std::move(connection), head, waiting);
            }
        }
        if (waits[2].revents != 0) {
            for (int taken = 0; taken < 64; ++taken) {
                sockaddr_storage peer{};
                socklen_t length = sizeof peer;
                const int fd = ::accept4(state.listening, reinterpret_cast<sockaddr*>(&peer), &length,
                                         SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0) {
                    break;
                }
                auto connection = std::make_unique<Connection>();
                connection->fd = fd;
                connection->ip = AddressText(peer, connection->port);
                connection->since = after;
                connection->deadline = after + limits.headTime;
                const int yes = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
                // Past the most connections at once, the one that has waited longest for its head goes.
                if (waiting.size() + state.busy >= limits.connections) {
                    const auto oldest =
                        std::min_element(waiting.begin(), waiting.end(),
                                         [](const Owned& a, const Owned& b) { return a->since < b->since; });
                    if (oldest == waiting.end()) {
                        continue;  // every one is being answered: the new one is closed
                    }
                    waiting.erase(oldest);
                }
                waiting.push_back(std::move(connection));
            }
        }
    }
    state.stopping = true;
    state.ready.notify_all();
    for (std::thread& worker : workers) {
        worker.join();
    }
    ::close(state.listening);
    state.listening = -1;
    const std::lock_guard lock(state.mutex);
    state.whole.clear();
    state.givenBack.clear();
}

}  // namespace wertowik::web

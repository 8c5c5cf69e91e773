// wertowik serve: the web view started from the command line, ended by Ctrl+C.
#include <pthread.h>
#include <signal.h>

#include <iostream>
#include <thread>

#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/catalogue/catalogue.h"
#include "host/modules/viewer.h"
#include "host/web/serve_entry.h"
#include "host/web/web_server.h"

namespace wertowik {

namespace {

// SIGINT and SIGTERM held back from every thread started while it lives (the server's pool), and
// waited for by one thread of its own that stops the server.
class StopOnSignal {
public:
    explicit StopOnSignal(web::WebServer& server) {
        sigemptyset(&signals_);
        sigaddset(&signals_, SIGINT);
        sigaddset(&signals_, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals_, &before_);
        waiter_ = std::thread([this, &server] {
            int signal = 0;
            sigwait(&signals_, &signal);
            server.Stop();
        });
    }
    StopOnSignal(const StopOnSignal&) = delete;
    StopOnSignal& operator=(const StopOnSignal&) = delete;
    ~StopOnSignal() {
        // The server ended of itself: the waiter is woken with a signal only it waits for.
        pthread_kill(waiter_.native_handle(), SIGTERM);
        waiter_.join();
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    }

private:
    sigset_t signals_{}, before_{};
    std::thread waiter_;
};

}  // namespace

int RunServe(const ServeCommand& command) {
    if (command.port < 0 || command.port > 65535) {
        throw HostError(kExitUsage, Tr("--port takes a number from 0 to 65535"));
    }
    web::ServeOptions options;
    options.catalogue = command.catalogue ? *command.catalogue : DefaultCataloguePath();
    options.address = command.address;
    options.port = command.port;
    web::WebServer server(options);
    StopOnSignal stop(server);
    std::string urls;
    for (const std::string& url : server.urls()) {
        urls += (urls.empty() ? "" : ", ") + url;
    }
    std::cout << Say("Serving {1} at {2} (Ctrl+C ends)", options.catalogue.string(), urls) << std::endl;
    if (server.Open()) {
        TellError(
            Say("warning: listening on {1}: the catalogue and every file of the folders of its discs, hidden "
                "ones too, are open without a password to anyone who can reach this computer",
                options.address));
    }
    if (command.open) {
        std::cout << OpenAddress(server.url()) << std::endl;
    }
    server.Run();
    return 0;
}

}  // namespace wertowik

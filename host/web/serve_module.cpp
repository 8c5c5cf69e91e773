// wertowik-web.so: the web view as a module of its own, loaded by `wertowik serve` alone, so that
// no other command loads the HTTP server and the TLS and compression libraries it is linked with.
#include <exception>

#include "host/base/errors.h"
#include "host/base/terminal_text.h"
#include "host/web/serve_entry.h"
#include "host/web/web_server.h"

extern "C" __attribute__((visibility("default"))) int WertowikServe(const wertowik::ServeCommand* command) {
    using namespace wertowik;
    // Errors are told here, as wertowik tells them, rather than thrown across the module's edge.
    try {
        return RunServe(*command);
    } catch (const std::exception&) {
        return TellCurrentError();
    }
}

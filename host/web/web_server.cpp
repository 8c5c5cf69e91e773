#include "host/web/web_server.h"

#include <httplib.h>

#include <cstdlib>
#include <mutex>
#include <sstream>
#include <vector>

#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/catalogue/catalogue.h"
#include "host/report/catalogue_json.h"
#include "host/report/export.h"
#include "host/web/disc_content.h"
#include "host/web/web_api.h"
#include "host/web/web_guard.h"
#include "host/web/web_pages.h"

namespace wertowik::web {

namespace {

// What every answer carries: nothing of another site may run, be framed or be taken for a script.
constexpr char kAppPolicy[] =
    "default-src 'none'; script-src 'self'; style-src 'self'; img-src 'self'; connect-src 'self'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'self'";
// A page of the disc: shown as a page of no origin, with no script of it run.
constexpr char kDiscPagePolicy[] =
    "sandbox; default-src 'none'; img-src 'self'; style-src 'self' 'unsafe-inline'; media-src 'self'; "
    "frame-ancestors 'none'; base-uri 'none'; form-action 'none'";

// Each connection holds a thread while it is read: enough of them that clients sending their
// requests slowly (each read may wait kReadTimeoutSeconds) leave others to be served.
constexpr std::size_t kThreads = 64;
constexpr time_t kReadTimeoutSeconds = 3;
constexpr time_t kWriteTimeoutSeconds = 10;
constexpr time_t kKeepAliveSeconds = 2;
constexpr std::size_t kMostBody = 4096;                          // requests are GET and HEAD: nothing to upload
constexpr std::size_t kLargestDiscFile = std::size_t{16} << 20;  // pages and their pictures, not whole programs

// Open read-only connections to the catalogue, one lent to each request being served, opened as
// more requests come at once and kept for the next ones.
class CataloguePool {
public:
    explicit CataloguePool(std::filesystem::path file) : file_(std::move(file)) {
        free_.push_back(std::make_unique<Catalogue>(Catalogue::Open(file_, Catalogue::Access::Read)));
    }

    class Lease {
    public:
        Lease(CataloguePool& pool, std::unique_ptr<Catalogue> catalogue)
            : pool_(pool), catalogue_(std::move(catalogue)) {}
        Lease(const Lease&) = delete;
        Lease& operator=(const Lease&) = delete;
        ~Lease() { pool_.GiveBack(std::move(catalogue_)); }
        Catalogue& operator*() { return *catalogue_; }
        Catalogue* operator->() { return catalogue_.get(); }

    private:
        CataloguePool& pool_;
        std::unique_ptr<Catalogue> catalogue_;
    };

    Lease Take() {
        {
            const std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                std::unique_ptr<Catalogue> catalogue = std::move(free_.back());
                free_.pop_back();
                return Lease(*this, std::move(catalogue));
            }
        }
        return Lease(*this, std::make_unique<Catalogue>(Catalogue::Open(file_, Catalogue::Access::Read)));
    }

private:
    void GiveBack(std::unique_ptr<Catalogue> catalogue) {
        const std::lock_guard lock(mutex_);
        free_.push_back(std::move(catalogue));
    }

    std::filesystem::path file_;
    std::mutex mutex_;
    std::vector<std::unique_ptr<Catalogue>> free_;
};

int StatusOf(const HostError& problem) {
    switch (problem.code()) {
        case kExitUsage: return 400;
        case kExitBusy: return 503;
        default: return 500;
    }
}

void Send(httplib::Response& response, const Reply& reply) {
    response.status = reply.status;
    response.set_header("Cache-Control", "no-store");
    if (!reply.fileName.empty()) {
        response.set_header("Content-Disposition", "attachment; filename=\"" + reply.fileName + "\"");
    }
    response.set_content(reply.body, reply.contentType.c_str());
}

Parameters ParametersOf(const httplib::Request& request) {
    return Parameters(request.params.begin(), request.params.end());
}

void SendPage(httplib::Response& response, std::string_view name, const char* type) {
    const EmbeddedFile file = PageFile(name);
    response.set_header("Cache-Control", "no-cache");
    response.set_content(std::string(file.bytes), type);
}

}  // namespace

struct WebServer::State {
    ServeOptions options;
    CataloguePool pool;
    httplib::Server server;
    int port = 0;

    explicit State(const ServeOptions& chosen) : options(chosen), pool(chosen.catalogue) {}

    // An API route: the catalogue lent for the request and read in one transaction, so that its
    // answer agrees with itself while another wertowik writes the catalogue.
    template <typename Read>
    httplib::Server::Handler Api(Read read) {
        return [this, read](const httplib::Request& request, httplib::Response& response) {
            Reply reply;
            try {
                CataloguePool::Lease catalogue = pool.Take();
                const sqlite::Transaction snapshot = catalogue->ConsistentReads();
                reply = read(*catalogue, request);
            } catch (const HostError& problem) {
                reply = ErrorReply(StatusOf(problem), problem.what());
            } catch (const std::exception& problem) {
                reply = ErrorReply(500, problem.what());
            }
            Send(response, reply);
        };
    }

    void Guard() {
        server.set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
            if (request.method != "GET" && request.method != "HEAD") {
                response.status = 405;
                response.set_header("Allow", "GET, HEAD");
                response.set_header("Connection", "close");
                response.set_content("Only GET and HEAD are answered.\n", "text/plain");
                return httplib::Server::HandlerResponse::Handled;
            }
            // Nothing is uploaded: a body is refused before it is read.
            if (request.has_header("Transfer-Encoding") ||
                std::strtoull(request.get_header_value("Content-Length").c_str(), nullptr, 10) > 0) {
                response.status = 413;
                response.set_header("Connection", "close");
                response.set_content("A request has no body here.\n", "text/plain");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (!HostAllowed(request.get_header_value("Host"), options.address, port)) {
                response.status = 403;
                response.set_content("This server answers only requests for its own address.\n", "text/plain");
                return httplib::Server::HandlerResponse::Handled;
            }
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server.set_default_headers({{"Content-Security-Policy", kAppPolicy},
                                    {"X-Content-Type-Options", "nosniff"},
                                    {"X-Frame-Options", "DENY"},
                                    {"Referrer-Policy", "no-referrer"},
                                    {"Cross-Origin-Resource-Policy", "same-origin"}});
        server.set_error_handler([](const httplib::Request&, httplib::Response& response) {
            if (response.body.empty()) {
                response.set_content(std::to_string(response.status) + "\n", "text/plain");
            }
        });
        server.new_task_queue = [] { return new httplib::ThreadPool(kThreads); };
        server.set_read_timeout(kReadTimeoutSeconds, 0);
        server.set_write_timeout(kWriteTimeoutSeconds, 0);
        server.set_keep_alive_timeout(kKeepAliveSeconds);
        // An answer goes out in two writes (its head, then its body): without this the second waits
        // for the first one's acknowledgement, 40 ms on a kept-alive connection.
        server.set_tcp_nodelay(true);
        server.set_payload_max_length(kMostBody);
    }

    void Pages() {
        const auto app = [](const httplib::Request& request, httplib::Response& response) {
            // The one page of the application, in the browser's language.
            std::string page(PageFile("index.html").bytes);
            const std::string language = PageLanguage(request.get_header_value("Accept-Language"));
            if (const std::size_t at = page.find("lang=\"en\""); at != std::string::npos) {
                page.replace(at, 9, "lang=\"" + language + "\"");
            }
            response.set_header("Vary", "Accept-Language");
            response.set_header("Cache-Control", "no-cache");
            response.set_content(page, "text/html; charset=utf-8");
        };
        server.Get("/", app);
        server.Get(R"(/disc/(\d+))", app);
        server.Get("/search", app);
        server.Get("/app.js", [](const httplib::Request&, httplib::Response& response) {
            SendPage(response, "app.js", "text/javascript; charset=utf-8");
        });
        server.Get("/app.css", [](const httplib::Request&, httplib::Response& response) {
            SendPage(response, "app.css", "text/css; charset=utf-8");
        });
        const auto icon = [](const httplib::Request&, httplib::Response& response) {
            SendPage(response, "favicon.svg", "image/svg+xml");
        };
        server.Get("/favicon.svg", icon);
        server.Get("/favicon.ico", icon);
        server.Get(R"(/disc/(\d+)/content/(.+))", [this](const httplib::Request& request, httplib::Response& response) {
            std::optional<DiscRow> disc;
            try {
                CataloguePool::Lease catalogue = pool.Take();
                disc = catalogue->Disc(ParseId(request.matches[1]));
            } catch (const std::exception&) {
                disc.reset();
            }
            const std::optional<DiscFile> file =
                disc ? ReadDiscFile(*disc, std::string(request.matches[2]), kLargestDiscFile) : std::nullopt;
            if (!file) {
                response.status = 404;
                response.set_content("No such file on the disc, or the disc is not where it was registered from.\n",
                                     "text/plain");
                return;
            }
            // The page's own policy instead of the application's.
            response.headers.erase("Content-Security-Policy");
            response.set_header("Content-Security-Policy", kDiscPagePolicy);
            response.set_header("Cache-Control", "no-cache");
            response.set_content(file->bytes, file->contentType.c_str());
        });
    }

    void Routes() {
        server.Get("/api/discs", Api([](Catalogue& catalogue, const httplib::Request& request) {
                       return ApiDiscs(catalogue, ParametersOf(request));
                   }));
        server.Get(R"(/api/disc/([^/]+))", Api([](Catalogue& catalogue, const httplib::Request& request) {
                       return ApiDisc(catalogue, request.matches[1]);
                   }));
        server.Get(R"(/api/disc/([^/]+)/files)", Api([](Catalogue& catalogue, const httplib::Request& request) {
                       return ApiFiles(catalogue, request.matches[1], ParametersOf(request));
                   }));
        server.Get("/api/search", Api([](Catalogue& catalogue, const httplib::Request& request) {
                       return ApiSearch(catalogue, ParametersOf(request));
                   }));
        server.Get("/api/files", Api([](Catalogue& catalogue, const httplib::Request& request) {
                       Parameters parameters = ParametersOf(request);
                       parameters.erase("only");
                       parameters.emplace("only", "files");
                       return ApiSearch(catalogue, parameters);
                   }));
        const auto exportSearch = Api([](Catalogue& catalogue, const httplib::Request& request) {
            return ApiExport(catalogue, ParametersOf(request));
        });
        server.Get("/api/export", [this, exportSearch](const httplib::Request& request, httplib::Response& response) {
            if (request.has_param("q")) {
                exportSearch(request, response);
            } else {
                ExportWhole(request, response);
            }
        });
        server.Get(R"(/api/.*)", [](const httplib::Request&, httplib::Response& response) {
            Send(response, ErrorReply(404, "no such request"));
        });
    }

    // The whole catalogue, sent a few discs at a time as it is read (a million programs are never
    // held in memory at once), all of it from the one read transaction the export holds.
    void ExportWhole(const httplib::Request& request, httplib::Response& response) {
        struct Export {
            CataloguePool::Lease catalogue;
            sqlite::Transaction snapshot;
            ExportOptions options;
            std::vector<DiscRow> discs;
            std::size_t next = 0;
            explicit Export(CataloguePool& pool) : catalogue(pool.Take()), snapshot(catalogue->ConsistentReads()) {}
        };
        std::shared_ptr<Export> state;
        try {
            ExportOptions options;
            if (const std::optional<Reply> wrong = ExportFormat(ParametersOf(request), options)) {
                Send(response, *wrong);
                return;
            }
            state = std::make_shared<Export>(pool);
            state->options = options;
            state->discs = state->catalogue->Discs();
        } catch (const std::exception& problem) {
            Send(response, ErrorReply(500, problem.what()));
            return;
        }
        constexpr std::size_t kDiscsAtOnce = 16;
        response.set_header("Cache-Control", "no-store");
        response.set_header("Content-Disposition", "attachment; filename=\"wertowik." + state->options.format + "\"");
        const char* type = state->options.format == "csv" ? "text/csv; charset=utf-8" : "application/json";
        response.set_chunked_content_provider(type, [state](std::size_t, httplib::DataSink& sink) {
            std::ostringstream out;
            try {
                if (state->next == 0) {
                    WriteExportHead(out, *state->catalogue, state->options);
                }
                for (std::size_t i = 0; i < kDiscsAtOnce && state->next < state->discs.size(); ++i, ++state->next) {
                    const DiscRow& disc = state->discs[state->next];
                    WriteExportDisc(out, state->options, disc, state->catalogue->Programs(disc.id), state->next == 0);
                }
                if (state->next == state->discs.size()) {
                    WriteExportTail(out, state->options);
                    ++state->next;  // past the end: done after this piece
                }
            } catch (const std::exception&) {
                return false;  // the connection is cut: a half export is never taken for a whole one
            }
            const std::string piece = out.str();
            if (!piece.empty() && !sink.write(piece.data(), piece.size())) {
                return false;
            }
            if (state->next > state->discs.size()) {
                sink.done();
            }
            return true;
        });
    }

    static uint16_t ParseId(const std::string& text) {
        const unsigned long id = std::stoul(text);
        if (id == 0 || id > 65535) {
            throw HostError(kExitUsage, "no such disc");
        }
        return static_cast<uint16_t>(id);
    }
};

WebServer::WebServer(const ServeOptions& options) : state_(std::make_unique<State>(options)) {
    state_->Guard();
    state_->Pages();
    state_->Routes();
    if (options.port == 0) {
        state_->port = state_->server.bind_to_any_port(options.address);
    } else if (state_->server.bind_to_port(options.address, options.port)) {
        state_->port = options.port;
    }
    if (state_->port <= 0) {
        throw HostError(kExitCantCreate, Say("cannot listen on {1} port {2}", options.address, options.port));
    }
}

WebServer::~WebServer() { Stop(); }

int WebServer::port() const { return state_->port; }

std::string WebServer::url() const {
    const std::string& address = state_->options.address;
    std::string host = address == "0.0.0.0" || address == "::" ? "127.0.0.1" : address;
    if (host.find(':') != std::string::npos && host.front() != '[') {
        host = "[" + host + "]";
    }
    return "http://" + host + ":" + std::to_string(state_->port) + "/";
}

void WebServer::Run() { state_->server.listen_after_bind(); }

void WebServer::Stop() { state_->server.stop(); }

}  // namespace wertowik::web

#include "host/web/web_server.h"

#include <httplib.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <mutex>
#include <sstream>
#include <vector>

#include "host/base/errors.h"
#include "host/base/messages.h"
#include "host/catalogue/catalogue.h"
#include "host/report/catalogue_json.h"
#include "host/report/export.h"
#include "host/web/disc_content.h"
#include "host/web/http_gate.h"
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

// httplib's server for its routes and its answers, handed each request by the gate.
class RoutedServer : public httplib::Server {
public:
    bool Answer(httplib::Stream& stream, bool closeAfter, bool& closed) {
        return process_request(stream, closeAfter, closed, nullptr);
    }
    // The server counts as running while this holds a socket: a chunked answer stops once it does not.
    void Serving(socket_t socket) { svr_sock_ = socket; }
};

// The lines the gate's own answers carry, as every other answer does.
std::string GateHeaders() {
    return std::string("Content-Security-Policy: ") + kAppPolicy + "\r\nX-Content-Type-Options: nosniff\r\n";
}

}  // namespace

struct WebServer::State {
    ServeOptions options;
    CataloguePool pool;
    RoutedServer server;
    std::unique_ptr<HttpGate> gate;
    int port = 0;
    std::vector<std::string> names;  // what a request's Host header may name
    std::vector<std::string> urls;

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
            // Two Host headers name two servers: which one was meant cannot be told.
            if (request.get_header_value_count("Host") > 1) {
                response.status = 400;
                response.set_content("A request names one host.\n", "text/plain");
                return httplib::Server::HandlerResponse::Handled;
            }
            if (!HostAllowed(request.get_header_value("Host"), names, port)) {
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
        // What the answers tell of kept-alive connections; the gate keeps to it.
        server.set_keep_alive_timeout(
            std::chrono::duration_cast<std::chrono::seconds>(options.limits.idleTime).count());
        server.set_keep_alive_max_count(options.limits.requestsPerConnection);
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
            std::optional<FolderIdentity> folder;
            try {
                CataloguePool::Lease catalogue = pool.Take();
                disc = catalogue->Disc(ParseId(request.matches[1]));
                folder = disc ? catalogue->FolderOf(disc->id) : std::nullopt;
            } catch (const std::exception&) {
                disc.reset();
            }
            const std::optional<DiscFile> file =
                disc ? ReadDiscFile(*disc, folder, std::string(request.matches[2]), kLargestDiscFile) : std::nullopt;
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

    // The names the server answers for and the addresses it prints: those of the address listened
    // on (for a wildcard one, every address of the machine's), and the name it was given.
    void Name() {
        const std::string& bound = gate->address();
        const std::vector<std::string> machine = IsWildcardAddress(bound)
                                                     ? MachineAddresses(bound.find(':') != std::string::npos)
                                                     : std::vector<std::string>{};
        names = ServedNames(bound, machine);
        for (std::string& name : ServedNames(options.address, machine)) {
            if (std::find(names.begin(), names.end(), name) == names.end()) {
                names.push_back(std::move(name));
            }
        }
        std::vector<std::string> shown;
        if (IsWildcardAddress(bound)) {
            shown.push_back("127.0.0.1");
            std::copy_if(machine.begin(), machine.end(), std::back_inserter(shown),
                         [](const std::string& own) { return !IsLoopbackAddress(own); });
        } else {
            // A name given (localhost) as it was given, else the address bound.
            shown.push_back(options.address.find_first_of(":.") == std::string::npos && !options.address.empty()
                                ? options.address
                                : bound);
        }
        for (const std::string& host : shown) {
            const bool ipv6 = host.find(':') != std::string::npos;
            urls.push_back("http://" + (ipv6 ? "[" + host + "]" : host) + ":" + std::to_string(port) + "/");
        }
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
    state_->gate = std::make_unique<HttpGate>(options.address, options.port, options.limits, GateHeaders());
    state_->port = state_->gate->port();
    state_->Name();
}

WebServer::~WebServer() { Stop(); }

int WebServer::port() const { return state_->port; }

const std::vector<std::string>& WebServer::urls() const { return state_->urls; }

bool WebServer::Open() const { return !IsLoopbackAddress(state_->gate->address()); }

void WebServer::Run() {
    state_->server.Serving(state_->gate->socket());
    state_->gate->Run([this](httplib::Stream& stream, bool closeAfter, bool& closed) {
        return state_->server.Answer(stream, closeAfter, closed);
    });
}

void WebServer::Stop() {
    state_->server.Serving(INVALID_SOCKET);
    state_->gate->Stop();
}

}  // namespace wertowik::web

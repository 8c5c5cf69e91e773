#include "host/web/web_guard.h"

#include <arpa/inet.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace wertowik::web {

namespace {

std::string Lower(std::string_view text) {
    std::string lower(text);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c); });
    return lower;
}

bool IsIpv4(const std::string& text) {
    in_addr address{};
    return inet_pton(AF_INET, text.c_str(), &address) == 1;
}

bool IsIpv6(const std::string& text) {
    in6_addr address{};
    return inet_pton(AF_INET6, text.c_str(), &address) == 1;
}

bool IsLoopback(const std::string& address) {
    return address == "localhost" || address == "::1" || (IsIpv4(address) && address.starts_with("127."));
}

// The name and port of a Host header ("[::1]:8080" gives "::1" and 8080); false when it is not one.
bool SplitHost(std::string_view host, std::string& name, int& port) {
    std::string_view rest;
    if (host.starts_with('[')) {
        const std::size_t close = host.find(']');
        if (close == std::string_view::npos) {
            return false;
        }
        name = Lower(host.substr(1, close - 1));
        if (!IsIpv6(name)) {
            return false;
        }
        rest = host.substr(close + 1);
    } else {
        const std::size_t colon = host.find(':');
        name = Lower(host.substr(0, colon));
        rest = colon == std::string_view::npos ? std::string_view() : host.substr(colon);
    }
    if (name.empty() || name.find_first_of(" \t/\\@") != std::string::npos) {
        return false;
    }
    if (rest.empty()) {
        port = 80;
        return true;
    }
    if (rest.front() != ':' || rest.size() < 2 || rest.size() > 6 || rest[1] == '0') {
        return false;
    }
    const auto [end, error] = std::from_chars(rest.data() + 1, rest.data() + rest.size(), port);
    return error == std::errc() && end == rest.data() + rest.size() && port > 0 && port <= 65535;
}

}  // namespace

bool HostAllowed(std::string_view host, std::string_view address, int port) {
    std::string name;
    int asked = 0;
    if (!SplitHost(host, name, asked) || asked != port) {
        return false;
    }
    std::string served = Lower(address);
    if (served.size() > 2 && served.front() == '[' && served.back() == ']') {
        served = served.substr(1, served.size() - 2);
    }
    if (served == "0.0.0.0" || served == "::" || served.empty()) {
        return name == "localhost" || IsIpv4(name) || IsIpv6(name);
    }
    if (name == served) {
        return true;
    }
    return IsLoopback(served) && (name == "localhost" || name == "127.0.0.1" || name == "::1");
}

std::string PageLanguage(std::string_view acceptLanguage) {
    // "pl-PL,pl;q=0.9,en;q=0.8": the language of the highest weight, the first of equal ones.
    std::string best = "en";
    double bestWeight = 0;
    std::size_t start = 0;
    while (start <= acceptLanguage.size()) {
        const std::size_t comma = std::min(acceptLanguage.find(',', start), acceptLanguage.size());
        std::string item = Lower(acceptLanguage.substr(start, comma - start));
        start = comma + 1;
        item.erase(std::remove_if(item.begin(), item.end(), [](char c) { return c == ' ' || c == '\t'; }), item.end());
        double weight = 1;
        if (const std::size_t semicolon = item.find(';'); semicolon != std::string::npos) {
            const std::string parameter = item.substr(semicolon + 1);
            if (parameter.starts_with("q=")) {
                weight = std::strtod(parameter.c_str() + 2, nullptr);
            }
            item.resize(semicolon);
        }
        const std::string primary = item.substr(0, item.find('-'));
        if (primary.empty() || weight <= bestWeight) {
            continue;
        }
        bestWeight = weight;
        best = primary == "pl" ? "pl" : "en";
    }
    return best;
}

bool SplitDiscPath(std::string_view path, std::vector<std::string>& names) {
    names.clear();
    if (path.empty() || path.front() == '/') {
        return false;
    }
    const bool odd = std::any_of(path.begin(), path.end(),
                                 [](char c) { return c == '\\' || static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    if (odd || (path.size() >= 2 && path[1] == ':')) {
        return false;
    }
    std::size_t start = 0;
    while (start <= path.size()) {
        const std::size_t slash = std::min(path.find('/', start), path.size());
        const std::string_view name = path.substr(start, slash - start);
        if (name.empty() || name == "." || name == "..") {
            names.clear();
            return false;
        }
        names.emplace_back(name);
        start = slash + 1;
    }
    return true;
}

}  // namespace wertowik::web

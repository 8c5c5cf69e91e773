#include "host/web/web_guard.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>

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

// An IP address in its shortest form (lower case, IPv6 without brackets); a name lower-cased.
std::string Normal(std::string_view address) {
    std::string text = Lower(address);
    if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
        text = text.substr(1, text.size() - 2);
    }
    in6_addr ipv6{};
    char shortest[INET6_ADDRSTRLEN] = "";
    if (inet_pton(AF_INET6, text.c_str(), &ipv6) == 1 && inet_ntop(AF_INET6, &ipv6, shortest, sizeof shortest)) {
        return shortest;
    }
    return text;
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

bool IsLoopbackAddress(std::string_view address) {
    const std::string normal = Normal(address);
    return normal == "localhost" || normal == "::1" || (IsIpv4(normal) && normal.starts_with("127."));
}

bool IsWildcardAddress(std::string_view address) {
    const std::string normal = Normal(address);
    return normal.empty() || normal == "0.0.0.0" || normal == "::";
}

std::vector<std::string> MachineAddresses(bool withIpv6) {
    std::vector<std::string> found;
    ifaddrs* interfaces = nullptr;
    if (getifaddrs(&interfaces) != 0) {
        return found;
    }
    for (const ifaddrs* at = interfaces; at != nullptr; at = at->ifa_next) {
        char text[INET6_ADDRSTRLEN] = "";
        if (at->ifa_addr == nullptr) {
            continue;
        }
        if (at->ifa_addr->sa_family == AF_INET) {
            inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(at->ifa_addr)->sin_addr, text, sizeof text);
        } else if (at->ifa_addr->sa_family == AF_INET6 && withIpv6) {
            inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(at->ifa_addr)->sin6_addr, text, sizeof text);
        }
        if (*text != '\0' && std::find(found.begin(), found.end(), text) == found.end()) {
            found.emplace_back(text);
        }
    }
    freeifaddrs(interfaces);
    return found;
}

std::vector<std::string> ServedNames(std::string_view address, const std::vector<std::string>& machine) {
    std::vector<std::string> names;
    const auto add = [&names](std::string_view name) {
        if (std::string normal = Normal(name); std::find(names.begin(), names.end(), normal) == names.end()) {
            names.push_back(std::move(normal));
        }
    };
    if (IsWildcardAddress(address)) {
        for (const std::string& own : machine) {
            add(own);
        }
    } else {
        add(address);
    }
    if (IsWildcardAddress(address) || IsLoopbackAddress(address)) {
        for (const char* loopback : {"localhost", "127.0.0.1", "::1"}) {
            add(loopback);
        }
    }
    return names;
}

bool HostAllowed(std::string_view host, const std::vector<std::string>& names, int port) {
    std::string name;
    int asked = 0;
    if (!SplitHost(host, name, asked) || asked != port) {
        return false;
    }
    return std::find(names.begin(), names.end(), Normal(name)) != names.end();
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

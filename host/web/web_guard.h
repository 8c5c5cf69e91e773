// What the web view checks of a request before it answers it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wertowik::web {

// Whether a request's Host header names this server, so that a page of another site whose name was
// pointed at this machine (DNS rebinding) is refused. Allowed: the address it listens on with its
// port; for a loopback address also localhost, 127.0.0.1 and [::1]; for a wildcard address (0.0.0.0,
// ::) any literal IP address with the port, since a rebound name is never a literal address.
bool HostAllowed(std::string_view host, std::string_view address, int port);

// The pages' language from an Accept-Language header: "pl" when Polish is the most wanted of the
// languages it names, else "en".
std::string PageLanguage(std::string_view acceptLanguage);

// A path inside a disc ("INSTALL/README.HTM") as its names, or nothing when it could leave the
// disc or name something odd: an empty, "." or ".." name, a leading slash, a backslash, a NUL or
// another control character, a drive letter.
bool SplitDiscPath(std::string_view path, std::vector<std::string>& names);

}  // namespace wertowik::web

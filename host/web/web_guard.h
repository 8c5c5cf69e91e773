// What the web view checks of a request before it answers it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace wertowik::web {

// Whether an address (a name or a literal) is this machine's loopback: localhost, 127.x.x.x, ::1.
bool IsLoopbackAddress(std::string_view address);
// Whether an address is a wildcard one (0.0.0.0, ::, or none), listening on every interface.
bool IsWildcardAddress(std::string_view address);

// The addresses of this machine's interfaces, loopback ones among them: IPv4 ones, and IPv6 ones
// too when asked.
std::vector<std::string> MachineAddresses(bool withIpv6);

// The names a request may give in its Host header for a server listening on address: the address
// itself; for a loopback address also localhost, 127.0.0.1 and ::1; for a wildcard address the
// machine's own addresses (machine) and those loopback names. Lower case, IP addresses in their
// shortest form, IPv6 ones without brackets.
std::vector<std::string> ServedNames(std::string_view address, const std::vector<std::string>& machine);

// Whether a request's Host header names this server (one of names, with the port), so that a page
// of another site whose name was pointed at this machine (DNS rebinding) is refused, and a server
// listening beyond this machine answers only for the addresses it was told it is reached at.
bool HostAllowed(std::string_view host, const std::vector<std::string>& names, int port);

// The pages' language from an Accept-Language header: "pl" when Polish is the most wanted of the
// languages it names, else "en".
std::string PageLanguage(std::string_view acceptLanguage);

// A path inside a disc ("INSTALL/README.HTM") as its names, or nothing when it could leave the
// disc or name something odd: an empty, "." or ".." name, a leading slash, a backslash, a NUL or
// another control character, a drive letter.
bool SplitDiscPath(std::string_view path, std::vector<std::string>& names);

}  // namespace wertowik::web

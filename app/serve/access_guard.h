// Who may talk to the server. The address `serve` prints carries a random
// token that every request must present (as ?token= or the
// X-Nocturnia-Token header), so another page open in the same browser cannot
// drive it. The Host header must name the server by an IP address or
// "localhost" with its port, which a DNS-rebinding page cannot do, and a
// request that says where it comes from (Origin) must come from the page itself.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace nocturnia::serve {

// 32 hex digits from the system's random source.
std::string NewAccessToken();

// Equal, compared in a time that does not depend on where they differ.
bool TokensMatch(std::string_view given, std::string_view expected);

struct RequestOrigin {
    std::string host;                   // the Host header
    std::optional<std::string> origin;  // the Origin header, when sent
};

// Why the request is refused, or nothing when it may go on.
std::optional<std::string> OriginProblem(const RequestOrigin& request, int port);

}  // namespace nocturnia::serve

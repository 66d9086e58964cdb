#include "serve/access_guard.h"

#include <algorithm>
#include <cctype>
#include <random>

namespace nocturnia::serve {

namespace {

bool IsIpv4Literal(std::string_view name)
{
    int dots = 0;
    for (char c : name) {
        if (c == '.') {
            ++dots;
        } else if (!std::isdigit(static_cast<unsigned char>(c))) {
            return false;
        }
    }
    return dots == 3;
}

bool IsIpv6Literal(std::string_view name)
{
    if (name.size() < 3 || name.front() != '[' || name.back() != ']') {
        return false;
    }
    return std::all_of(name.begin() + 1, name.end() - 1,
                       [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.'; });
}

}  // namespace

std::string NewAccessToken()
{
    std::random_device source;
    std::uniform_int_distribution<int> digit(0, 15);
    std::string token;
    for (int i = 0; i < 32; ++i) {
        token += "0123456789abcdef"[digit(source)];
    }
    return token;
}

bool TokensMatch(std::string_view given, std::string_view expected)
{
    if (given.size() != expected.size()) {
        return false;
    }
    unsigned difference = 0;
    for (std::size_t i = 0; i < given.size(); ++i) {
        difference |= static_cast<unsigned char>(given[i]) ^ static_cast<unsigned char>(expected[i]);
    }
    return difference == 0;
}

std::optional<std::string> OriginProblem(const RequestOrigin& request, int port)
{
    const std::size_t colon = request.host.rfind(':');
    if (colon == std::string::npos || request.host.substr(colon + 1) != std::to_string(port)) {
        return "the Host header \"" + request.host + "\" does not name this server's port";
    }
    std::string name = request.host.substr(0, colon);
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (name != "localhost" && !IsIpv4Literal(name) && !IsIpv6Literal(name)) {
        return "the Host header \"" + request.host + "\" is not an address of this server";
    }
    if (request.origin && *request.origin != "http://" + request.host) {
        return "requests from " + *request.origin + " are not accepted";
    }
    return std::nullopt;
}

}  // namespace nocturnia::serve

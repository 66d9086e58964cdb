// A request the server refuses: the HTTP status to answer with and a message
// for the person at the page. Thrown by the API's handlers before they change
// anything, and turned into a JSON error by the HTTP layer.
#pragma once

#include <stdexcept>
#include <string>

#include <nlohmann/json.hpp>

namespace nocturnia::serve {

class ApiError : public std::runtime_error {
public:
    ApiError(int status, const std::string& message, nlohmann::ordered_json details = nlohmann::ordered_json::object())
        : std::runtime_error(message), status_(status), details_(std::move(details))
    {}
    int Status() const { return status_; }
    // Extra keys for the page, e.g. {"conflict": true} when the file changed.
    const nlohmann::ordered_json& Details() const { return details_; }

private:
    int status_;
    nlohmann::ordered_json details_;
};

}  // namespace nocturnia::serve

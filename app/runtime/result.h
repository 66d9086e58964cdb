// Success or a one-line error message, and a value or such a message. The host
// reports every failure as a value: nothing it offers the program throws.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace nocturnia::runtime {

class Status {
public:
    static Status Ok() { return Status(); }
    static Status Error(std::string message) { return Status(std::move(message)); }

    bool ok() const { return !message_.has_value(); }
    explicit operator bool() const { return ok(); }
    // The error text; empty when ok.
    const std::string& message() const
    {
        static const std::string none;
        return message_ ? *message_ : none;
    }

private:
    Status() = default;
    explicit Status(std::string m) : message_(std::move(m)) {}
    std::optional<std::string> message_;
};

template <typename T> class Result {
public:
    Result(T value) : value_(std::move(value)) {}       // NOLINT: implicit success
    Result(Status error) : error_(std::move(error)) {}  // NOLINT: implicit failure (must not be ok)
    static Result Error(std::string message) { return Result(Status::Error(std::move(message))); }

    bool ok() const { return value_.has_value(); }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return error_.message(); }
    Status status() const { return ok() ? Status::Ok() : error_; }

    T& value() { return *value_; }
    const T& value() const { return *value_; }
    T* operator->() { return &*value_; }
    const T* operator->() const { return &*value_; }
    T& operator*() { return *value_; }
    const T& operator*() const { return *value_; }

private:
    std::optional<T> value_;
    Status error_ = Status::Error("no value");
};

}  // namespace nocturnia::runtime

// Where the plug-in's console lines and message boxes go. Console lines go to
// standard error by default and can be silenced; message box texts go to
// standard output. Tests capture both with ConsoleCapture.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace nocturnia::runtime {

class Console {
public:
    using Sink = std::function<void(std::string_view)>;

    static Console& Instance();

    void Line(std::string_view text);    // one console line
    void Dialog(std::string_view text);  // one message box

    void SetSilenced(bool silenced);  // console lines only; dialogs still show
    bool Silenced() const;
    // Replace the destinations (null restores the default stream).
    void SetLineSink(Sink sink);
    void SetDialogSink(Sink sink);

private:
    Console() = default;
    mutable std::mutex mutex_;
    bool silenced_ = false;
    Sink lineSink_;
    Sink dialogSink_;
};

// Collects console lines and message boxes while alive, then restores the
// previous destinations.
class ConsoleCapture {
public:
    ConsoleCapture();
    ~ConsoleCapture();
    ConsoleCapture(const ConsoleCapture&) = delete;
    ConsoleCapture& operator=(const ConsoleCapture&) = delete;

    std::vector<std::string> Lines() const;
    std::vector<std::string> Dialogs() const;

private:
    struct Shared;
    std::shared_ptr<Shared> shared_;
};

}  // namespace nocturnia::runtime

// Where the plug-in's console lines and message boxes go. Console lines go to
// standard error by default, marked as the plug-in's ("plug-in: minval = ..."),
// and can be silenced; within a job (ConsoleJob: a render of many frames, a
// serve session) a line the job has shown already is not shown again. Message
// box texts go to standard output. Tests capture both, as the plug-in wrote
// them, with ConsoleCapture.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_set>
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
    friend class ConsoleJob;
    friend class ConsoleCapture;
    Console() = default;
    mutable std::mutex mutex_;
    bool silenced_ = false;
    int jobs_ = 0;                              // open ConsoleJobs
    std::unordered_set<std::string> jobLines_;  // the lines the open jobs have shown
    Sink lineSink_;
    Sink dialogSink_;
};

// While alive, a console line the job has shown already is not shown again:
// the plug-in says the same after every frame's render. Jobs may nest; the
// outermost decides when lines may show again.
class ConsoleJob {
public:
    ConsoleJob();
    ~ConsoleJob();
    ConsoleJob(const ConsoleJob&) = delete;
    ConsoleJob& operator=(const ConsoleJob&) = delete;
};

// The mark before each plug-in line on the console.
inline constexpr std::string_view kPluginLinePrefix = "plug-in: ";

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

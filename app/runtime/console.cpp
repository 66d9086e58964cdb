#include "runtime/console.h"

#include <cstdio>

namespace nocturnia::runtime {

Console& Console::Instance()
{
    static Console console;
    return console;
}

void Console::Line(std::string_view text)
{
    std::lock_guard lock(mutex_);
    if (silenced_) {
        return;
    }
    if (lineSink_) {
        lineSink_(text);
        return;
    }
    if (jobs_ > 0 && !jobLines_.emplace(text).second) {
        return;  // said already in this job
    }
    std::fprintf(stderr, "%.*s%.*s\n", static_cast<int>(kPluginLinePrefix.size()), kPluginLinePrefix.data(),
                 static_cast<int>(text.size()), text.data());
    std::fflush(stderr);
}

ConsoleJob::ConsoleJob()
{
    Console& console = Console::Instance();
    std::lock_guard lock(console.mutex_);
    ++console.jobs_;
}

ConsoleJob::~ConsoleJob()
{
    Console& console = Console::Instance();
    std::lock_guard lock(console.mutex_);
    if (--console.jobs_ == 0) {
        console.jobLines_.clear();
    }
}

void Console::Dialog(std::string_view text)
{
    std::lock_guard lock(mutex_);
    if (dialogSink_) {
        dialogSink_(text);
        return;
    }
    std::fprintf(stdout, "%.*s\n", static_cast<int>(text.size()), text.data());
    std::fflush(stdout);
}

void Console::SetSilenced(bool silenced)
{
    std::lock_guard lock(mutex_);
    silenced_ = silenced;
}

bool Console::Silenced() const
{
    std::lock_guard lock(mutex_);
    return silenced_;
}

void Console::SetLineSink(Sink sink)
{
    std::lock_guard lock(mutex_);
    lineSink_ = std::move(sink);
}

void Console::SetDialogSink(Sink sink)
{
    std::lock_guard lock(mutex_);
    dialogSink_ = std::move(sink);
}

struct ConsoleCapture::Shared {
    std::mutex mutex;
    std::vector<std::string> lines;
    std::vector<std::string> dialogs;
    bool wasSilenced = false;
    Console::Sink previousLines;  // restored when the capture ends
    Console::Sink previousDialogs;
};

ConsoleCapture::ConsoleCapture() : shared_(std::make_shared<Shared>())
{
    Console& console = Console::Instance();
    shared_->wasSilenced = console.Silenced();
    {
        std::lock_guard lock(console.mutex_);
        shared_->previousLines = console.lineSink_;
        shared_->previousDialogs = console.dialogSink_;
    }
    console.SetSilenced(false);
    std::weak_ptr<Shared> weak = shared_;
    console.SetLineSink([weak](std::string_view text) {
        if (auto s = weak.lock()) {
            std::lock_guard lock(s->mutex);
            s->lines.emplace_back(text);
        }
    });
    console.SetDialogSink([weak](std::string_view text) {
        if (auto s = weak.lock()) {
            std::lock_guard lock(s->mutex);
            s->dialogs.emplace_back(text);
        }
    });
}

ConsoleCapture::~ConsoleCapture()
{
    Console& console = Console::Instance();
    console.SetLineSink(shared_->previousLines);
    console.SetDialogSink(shared_->previousDialogs);
    console.SetSilenced(shared_->wasSilenced);
}

std::vector<std::string> ConsoleCapture::Lines() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->lines;
}

std::vector<std::string> ConsoleCapture::Dialogs() const
{
    std::lock_guard lock(shared_->mutex);
    return shared_->dialogs;
}

}  // namespace nocturnia::runtime

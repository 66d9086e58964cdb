#include "serve/editing_session.h"

#include "serve/api_error.h"
#include "serve/page_model.h"

#include "render/document_frame.h"
#include "text/json_text.h"
#include "text/mask_edits.h"
#include "text/number_text.h"
#include "text/parameter_edits.h"
#include "text/render_setting_edits.h"
#include "text/track_edits.h"
#include "text/user_error.h"

#include "runtime/attribute_manager.h"
#include "runtime/console.h"
#include "runtime/input_file.h"
#include "runtime/resources.h"
#include "runtime/track_evaluation.h"

namespace nocturnia::serve {

namespace {

constexpr std::size_t kUndoSteps = 200;

// The file as the document loader reads it (a regular file of bounded size,
// never a FIFO waited on); nothing when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& path)
{
    nocturnia::runtime::Result<std::string> text = nocturnia::runtime::ReadTextFile(path);
    if (!text) {
        return std::nullopt;
    }
    return std::move(text.value());
}

// Whether anything is at `path`, readable or not (a file without permission
// or too large to read, a FIFO, a folder, a link to nowhere): Save As must
// not replace it unasked.
bool SomethingAt(const std::filesystem::path& path)
{
    std::error_code error;
    const std::filesystem::file_type type = std::filesystem::symlink_status(path, error).type();
    return type != std::filesystem::file_type::not_found && type != std::filesystem::file_type::none;
}

const nocturnia::runtime::DescriptionEntry&
EntryWithId(const std::vector<nocturnia::runtime::DescriptionEntry>& entries, std::int32_t id)
{
    for (const nocturnia::runtime::DescriptionEntry& entry : entries) {
        if (entry.id == id && entry.type != NOC_DA_GROUP) {
            return entry;
        }
    }
    throw ApiError(404, "there is no parameter with ID " + std::to_string(id));
}

void CheckChangeable(const nocturnia::runtime::DescriptionEntry& entry)
{
    // What the Attribute Manager greys out or hides cannot be changed there.
    if (entry.hidden) {
        throw ApiError(409, "\"" + entry.name + "\" is hidden and cannot be changed now");
    }
    if (!entry.editable) {
        throw ApiError(409, "\"" + entry.name + "\" is greyed out and cannot be changed now");
    }
}

void SetLink(nocturnia::runtime::Node& shader, const nocturnia::runtime::DescriptionEntry& entry,
             const nocturnia::runtime::Json& value)
{
    nocturnia::runtime::Node* target = nullptr;
    if (!value.is_null()) {
        const auto& children = shader.Children();
        if (!value.is_number_integer() || value.get<std::int64_t>() < 0 ||
            value.get<std::int64_t>() >= static_cast<std::int64_t>(children.size())) {
            throw ApiError(400, "\"" + entry.name + "\" takes the number of one of the document's " +
                                    std::to_string(children.size()) + " mask shaders, or null for none");
        }
        target = children[static_cast<std::size_t>(value.get<std::int64_t>())].get();
    }
    const nocturnia::runtime::Status status =
        nocturnia::runtime::SetParameter(shader, entry.id, nocturnia::runtime::Value::OfLink(target));
    if (!status) {
        throw ApiError(400, "cannot set \"" + entry.name + "\": " + status.message());
    }
}

// A value as `edit --key` takes it: stored numbers, true/false, r,g,b.
std::string ValueAsText(const nocturnia::runtime::Value& value)
{
    switch (value.Type()) {
    case nocturnia::runtime::ValueType::Bool: return value.AsBool() ? "true" : "false";
    case nocturnia::runtime::ValueType::Int: return std::to_string(value.AsInt());
    case nocturnia::runtime::ValueType::Real: return nocturnia::cli::ShortestText(value.AsReal());
    case nocturnia::runtime::ValueType::Vector: {
        const nocturnia::runtime::Vec3 v = value.AsVector();
        return nocturnia::cli::ShortestText(v.x) + "," + nocturnia::cli::ShortestText(v.y) + "," +
               nocturnia::cli::ShortestText(v.z);
    }
    default: throw ApiError(400, "this parameter's values cannot be keyed");
    }
}

// The interpolation of the track's key at `frame`, as a suffix ":smooth"; empty without one.
std::string KeyInterpolationSuffix(const nocturnia::runtime::Node& shader, std::int32_t id, int frame)
{
    const nocturnia::runtime::Track* track = shader.FindTrack(id);
    if (track == nullptr) {
        return {};
    }
    for (const nocturnia::runtime::TrackKey& key : track->Keys()) {
        if (key.frame == frame && key.interpolation) {
            return std::string(":") + nocturnia::runtime::InterpolationName(*key.interpolation);
        }
    }
    return {};
}

// Runs a command-line edit; its refusal becomes the page's.
template <class Edit> void AsApiChange(Edit&& edit)
{
    try {
        edit();
    } catch (const nocturnia::cli::UserError& error) {
        throw ApiError(400, error.what());
    }
}

}  // namespace

EditingSession::EditingSession(nocturnia::runtime::Document document, std::optional<std::filesystem::path> path,
                               nocturnia::cli::ColorConfigChoice color)
    : document_(std::move(document)), path_(std::move(path)), display_(std::move(color))
{
    frame_ = document_.Render().StartFrame();
    if (path_) {
        diskText_ = ReadWholeFile(*path_);
    }
    // What the Attribute Manager shows first writes the defaults of every
    // layer; that is the document as opened, with nothing unsaved yet.
    Refresh();
    savedText_ = currentText_;
    Refresh();
}

template <class Change> void EditingSession::ApplyChange(Change&& change)
{
    const std::string before = currentText_;
    try {
        change();
        Refresh();
    } catch (...) {
        if (document_.ToText() != before) {
            Replace(before, "the document before the change");
        }
        Refresh();
        throw;
    }
    if (currentText_ != before) {
        undo_.push_back(before);
        if (undo_.size() > kUndoSteps) {
            undo_.erase(undo_.begin());
        }
        ++version_;
        Refresh();  // the state carries the new version
    }
}

std::vector<nocturnia::runtime::DescriptionEntry> EditingSession::DescribeAtFrame()
{
    nocturnia::runtime::Node& shader = document_.Shader();
    std::vector<nocturnia::runtime::DescriptionEntry> entries;
    AsApiChange([&] { entries = nocturnia::cli::DescribeNode(shader); });
    if (shader.Tracks().empty()) {
        return entries;
    }
    // The values the tracks give at this frame, described, then the
    // container as it was: moving along the time line changes no document.
    const nocturnia::runtime::Container held = shader.Data();
    try {
        nocturnia::cli::MoveToFrame(shader, frame_);
        entries = nocturnia::cli::DescribeNode(shader);
    } catch (const nocturnia::cli::UserError&) {
        // A track that cannot be evaluated: the stored values are shown, and
        // the preview says what is wrong.
    }
    shader.Data() = held;
    return entries;
}

void EditingSession::Refresh()
{
    const std::vector<nocturnia::runtime::DescriptionEntry> entries = DescribeAtFrame();
    currentText_ = document_.ToText();
    nocturnia::runtime::Json state = nocturnia::runtime::Json::object();
    state["version"] = version_;
    state["file"] = path_ ? nocturnia::runtime::Json(path_->string()) : nocturnia::runtime::Json(nullptr);
    state["unsaved"] = currentText_ != savedText_;
    state["undoSteps"] = undo_.size();
    const nocturnia::runtime::RenderSettings& render = document_.Render();
    state["aspect"] = render.Aspect();
    state["frame"] = frame_;
    state["render"] = RenderSettingsJson(render);
    state["color"] = display_.MenuJson();
    const DisplayEncoding& encoding = *display_.Current();
    state["entries"] = PageEntries(entries, document_.Shader(), encoding);
    state["tracks"] = TracksJson(document_.Shader());
    state["masks"] = MasksJson(document_.Shader(), encoding);
    stateText_ = nocturnia::cli::JsonText(state);
}

void EditingSession::Replace(const std::string& text, const std::string& sourceName)
{
    nocturnia::runtime::Result<nocturnia::runtime::Document> document =
        nocturnia::runtime::Document::Parse(text, sourceName);
    if (!document) {
        throw ApiError(500, "cannot restore the document: " + document.error());
    }
    document_ = std::move(document.value());
}

std::string EditingSession::StateText()
{
    std::lock_guard lock(mutex_);
    return stateText_;
}

std::uint64_t EditingSession::Version()
{
    std::lock_guard lock(mutex_);
    return version_;
}

bool EditingSession::HasUnsavedChanges()
{
    std::lock_guard lock(mutex_);
    return currentText_ != savedText_;
}

std::optional<std::filesystem::path> EditingSession::Path()
{
    std::lock_guard lock(mutex_);
    return path_;
}

std::string EditingSession::Set(std::int32_t id, const nocturnia::runtime::Json& value)
{
    std::lock_guard lock(mutex_);
    ApplyChange([&] {
        const std::vector<nocturnia::runtime::DescriptionEntry> entries = DescribeAtFrame();
        const nocturnia::runtime::DescriptionEntry& entry = EntryWithId(entries, id);
        CheckChangeable(entry);
        if (entry.type == NOC_DA_ALIASLINK) {
            SetLink(document_.Shader(), entry, value);
            return;
        }
        if (!value.is_string()) {
            throw ApiError(400, "\"" + entry.name + "\" takes its value as text, as `edit --set` does");
        }
        nocturnia::runtime::Node& shader = document_.Shader();
        const std::string text = value.get<std::string>();
        // A keyed parameter is changed at this frame, as a host's auto-key does.
        AsApiChange([&] {
            if (shader.FindTrack(id) != nullptr) {
                nocturnia::cli::KeyParameter(shader, std::to_string(id) + "@" + std::to_string(frame_) + "=" + text +
                                                         KeyInterpolationSuffix(shader, id, frame_));
            } else {
                nocturnia::cli::SetParameter(shader, std::to_string(id) + "=" + text);
            }
        });
    });
    return stateText_;
}

std::string EditingSession::Press(std::int32_t id, std::vector<std::string>& dialogs)
{
    std::lock_guard lock(mutex_);
    ApplyChange([&] {
        const std::vector<nocturnia::runtime::DescriptionEntry> entries =
            nocturnia::cli::DescribeNode(document_.Shader());
        const nocturnia::runtime::DescriptionEntry& entry = EntryWithId(entries, id);
        if (entry.type != NOC_DA_BUTTON) {
            throw ApiError(400, "\"" + entry.name + "\" is not a button");
        }
        CheckChangeable(entry);
        std::vector<std::string> lines;
        {
            nocturnia::runtime::ConsoleCapture capture;
            try {
                nocturnia::cli::ApplyEdits(document_.Shader(), {{nocturnia::cli::EditOperation::Kind::Press,
                                                                 std::to_string(id), std::nullopt}});
            } catch (const nocturnia::cli::UserError& error) {
                throw ApiError(400, error.what());
            }
            dialogs = capture.Dialogs();
            lines = capture.Lines();
        }
        for (const std::string& line : lines) {
            nocturnia::runtime::Console::Instance().Line(line);
        }
    });
    return stateText_;
}

std::string EditingSession::SetFrame(int frame)
{
    std::lock_guard lock(mutex_);
    if (frame != frame_) {
        frame_ = frame;
        ++version_;
        Refresh();
    }
    return stateText_;
}

std::string EditingSession::SetDisplay(const std::string& display, const std::string& view)
{
    std::lock_guard lock(mutex_);
    display_.Choose(display, view);
    ++version_;
    Refresh();
    return stateText_;
}

std::shared_ptr<const DisplayEncoding> EditingSession::Encoding()
{
    std::lock_guard lock(mutex_);
    return display_.Current();
}

std::optional<std::string> EditingSession::DisplayWarning()
{
    std::lock_guard lock(mutex_);
    return display_.Warning();
}

std::string EditingSession::Key(std::int32_t id, const nocturnia::runtime::Json& value,
                                const std::string& interpolation)
{
    std::lock_guard lock(mutex_);
    ApplyChange([&] {
        const std::vector<nocturnia::runtime::DescriptionEntry> entries = DescribeAtFrame();
        const nocturnia::runtime::DescriptionEntry& entry = EntryWithId(entries, id);
        std::string text;
        if (value.is_string()) {
            text = value.get<std::string>();
        } else if (value.is_null() && entry.value) {
            text = ValueAsText(*entry.value);
        } else {
            throw ApiError(400, "\"value\" must be text as `edit --key` takes it, or null for the value shown");
        }
        const std::string suffix =
            interpolation.empty() ? KeyInterpolationSuffix(document_.Shader(), id, frame_) : ":" + interpolation;
        AsApiChange([&] {
            nocturnia::cli::KeyParameter(document_.Shader(),
                                         std::to_string(id) + "@" + std::to_string(frame_) + "=" + text + suffix);
        });
    });
    return stateText_;
}

std::string EditingSession::Unkey(std::int32_t id)
{
    std::lock_guard lock(mutex_);
    ApplyChange([&] {
        AsApiChange([&] {
            nocturnia::cli::UnkeyParameter(document_.Shader(), std::to_string(id) + "@" + std::to_string(frame_));
        });
    });
    return stateText_;
}

std::string EditingSession::SetRender(const std::string& key, const std::string& value)
{
    std::lock_guard lock(mutex_);
    ApplyChange([&] { AsApiChange([&] { nocturnia::cli::SetRenderSetting(document_, key + "=" + value); }); });
    return stateText_;
}

std::string EditingSession::MaskLabel(std::size_t index)
{
    if (index >= document_.Shader().Children().size()) {
        throw ApiError(404, "there is no mask " + std::to_string(index));
    }
    return std::to_string(index);
}

std::string EditingSession::AddMask(const std::string& kind, const std::optional<std::string>& name)
{
    std::lock_guard lock(mutex_);
    ApplyChange([&] {
        AsApiChange([&] { nocturnia::cli::AddMask(document_.Shader(), nocturnia::cli::ParseMaskKind(kind), name); });
    });
    return stateText_;
}

std::string EditingSession::RemoveMask(std::size_t index)
{
    std::lock_guard lock(mutex_);
    ApplyChange([&] {
        const std::string label = MaskLabel(index);
        AsApiChange([&] { nocturnia::cli::RemoveMask(document_.Shader(), label); });
    });
    return stateText_;
}

std::string EditingSession::RenameMask(std::size_t index, const std::string& name)
{
    std::lock_guard lock(mutex_);
    ApplyChange([&] {
        const std::string label = MaskLabel(index);
        AsApiChange([&] { nocturnia::cli::RenameMask(document_.Shader(), label, name); });
    });
    return stateText_;
}

std::string EditingSession::SetMaskParameter(std::size_t index, const std::string& parameter, const std::string& value)
{
    std::lock_guard lock(mutex_);
    ApplyChange([&] {
        MaskLabel(index);
        const std::string name = nocturnia::cli::MaskName(document_.Shader(), index);
        AsApiChange([&] { nocturnia::cli::SetMaskParameter(document_.Shader(), name + "/" + parameter, value); });
    });
    return stateText_;
}

std::string EditingSession::Undo()
{
    std::lock_guard lock(mutex_);
    if (undo_.empty()) {
        throw ApiError(409, "there is nothing to undo");
    }
    const std::string previous = undo_.back();
    Replace(previous, "the undo history");
    undo_.pop_back();
    ++version_;
    Refresh();
    return stateText_;
}

std::string EditingSession::Save(const std::optional<std::string>& path, bool overwrite)
{
    std::lock_guard lock(mutex_);
    if (!path && !path_) {
        throw ApiError(409, "this document has no file yet: give it a name", {{"needsName", true}});
    }
    const std::filesystem::path target = path ? std::filesystem::path(*path) : *path_;
    if (target.empty()) {
        throw ApiError(400, "the file name is empty");
    }
    const bool ownFile = path_ && std::filesystem::absolute(target) == std::filesystem::absolute(*path_);
    if (!overwrite && SomethingAt(target)) {
        if (!ownFile) {
            throw ApiError(409, target.string() + " already exists: overwrite it?", {{"conflict", true}});
        }
        if (ReadWholeFile(target) != diskText_) {
            throw ApiError(409, target.string() + " changed on disk since it was opened: reload it or overwrite it",
                           {{"conflict", true}});
        }
    }
    const nocturnia::runtime::Status saved = document_.Save(target);
    if (!saved) {
        throw ApiError(500, saved.message());
    }
    path_ = target;
    diskText_ = ReadWholeFile(target);
    savedText_ = currentText_;
    ++version_;
    Refresh();
    return stateText_;
}

std::string EditingSession::Reload()
{
    std::lock_guard lock(mutex_);
    if (!path_) {
        throw ApiError(409, "this document has no file to reload");
    }
    const std::optional<std::string> text = ReadWholeFile(*path_);
    if (!text) {
        throw ApiError(409, "cannot read " + path_->string());
    }
    ApplyChange([&] {
        nocturnia::runtime::Result<nocturnia::runtime::Document> document =
            nocturnia::runtime::Document::Parse(*text, path_->string());
        if (!document) {
            throw ApiError(409, document.error());
        }
        document_ = std::move(document.value());
        nocturnia::cli::DescribeNode(document_.Shader());
        savedText_ = document_.ToText();
    });
    diskText_ = text;
    ++version_;
    Refresh();
    return stateText_;
}

EditingSession::Snapshot EditingSession::TakeSnapshot()
{
    std::lock_guard lock(mutex_);
    Snapshot snapshot;
    snapshot.version = version_;
    snapshot.frame = frame_;
    snapshot.encoding = display_.Current();
    nocturnia::runtime::Result<nocturnia::runtime::Document> copy =
        nocturnia::runtime::Document::Parse(currentText_, "the preview's copy");
    if (copy) {
        snapshot.document.emplace(std::move(copy.value()));
    }
    return snapshot;
}

void EditingSession::ReleaseSnapshot(Snapshot& snapshot)
{
    std::lock_guard lock(mutex_);
    snapshot.document.reset();
}

}  // namespace nocturnia::serve

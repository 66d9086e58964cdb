// The document `nocturnia serve` edits, shared by every browser tab and the
// preview worker. Each change goes through the same edit machinery as `edit
// --set`, `--press`, `--key`, `--unkey`, `--add-mask`, `--remove-mask` and
// `--render`, is applied whole or not at all (a failing change restores the
// document as it was), and raises the version number that tabs wait on to
// see each other's changes. Every change that altered the document can be
// undone. The session stands at one frame of the time line, shared by the
// tabs: the page shows the values at that frame (the tracks evaluated as
// `render --frame` does), the preview renders it, and a change to a keyed
// parameter sets its key at that frame (auto-key) instead of the value the
// track hides. The display the tabs look through (display_chooser.h) is the
// session's too: a change of it re-encodes swatches and preview alike, and,
// like the frame, changes no document. Saving uses the document writer's atomic replace; a file that
// changed on disk since it was read is not overwritten unless asked to.
#pragma once

#include "serve/display_chooser.h"

#include "runtime/attribute_manager.h"
#include "runtime/document.h"
#include "runtime/value_json.h"

#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::serve {

class EditingSession {
public:
    // `path`: where the document was read from; none for a new document,
    // which is then saved under a name the page asks for.
    // `color`: the colour config the displays are chosen from.
    EditingSession(nocturnia::runtime::Document document, std::optional<std::filesystem::path> path,
                   nocturnia::cli::ColorConfigChoice color = {});

    // The page's whole state as JSON text (version, file, unsaved changes,
    // description entries with their controls, mask shaders, preview aspect).
    std::string StateText();
    std::uint64_t Version();
    bool HasUnsavedChanges();
    std::optional<std::filesystem::path> Path();

    // Changes. Each throws ApiError (nothing changed) or returns the new
    // state; Press also returns the message boxes the press opened (About).
    // `value`: the text `edit --set` takes (a string), or for links the index
    // of a mask shader among the node's children (null: none).
    std::string Set(std::int32_t id, const nocturnia::runtime::Json& value);
    std::string Press(std::int32_t id, std::vector<std::string>& dialogs);
    // The time line: the frame shown (no change to the document, not undone).
    std::string SetFrame(int frame);
    // The display and view the tabs look through (no change to the document,
    // not undone); ApiError (400) for names the config has not.
    std::string SetDisplay(const std::string& display, const std::string& view);
    // The encoding of the display chosen, for colours picked on the page.
    std::shared_ptr<const DisplayEncoding> Encoding();
    // Why no display can be chosen, to say once at start; none when one can.
    std::optional<std::string> DisplayWarning();
    // A key at the current frame: `value` (text as Set takes it) or, when
    // null, the value the parameter has there; `interpolation` (step,
    // linear, smooth) or, when empty, the key's own if it has one.
    std::string Key(std::int32_t id, const nocturnia::runtime::Json& value, const std::string& interpolation);
    std::string Unkey(std::int32_t id);
    // A render setting, as `edit --render KEY=VALUE`.
    std::string SetRender(const std::string& key, const std::string& value);
    // Masks: add (kind, optional name), remove, rename, and one parameter set
    // as `edit --set "NAME/PARAMETER=VALUE"` does.
    std::string AddMask(const std::string& kind, const std::optional<std::string>& name);
    std::string RemoveMask(std::size_t index);
    std::string RenameMask(std::size_t index, const std::string& name);
    std::string SetMaskParameter(std::size_t index, const std::string& parameter, const std::string& value);
    std::string Undo();
    // Saves to `path` (or the document's own file). A file that changed on
    // disk since it was read or saved, or another existing file, is replaced
    // only with `overwrite`; otherwise ApiError 409 with {"conflict": true}.
    std::string Save(const std::optional<std::string>& path, bool overwrite);
    // Reads the document's file again, dropping unsaved changes (undoable).
    std::string Reload();

    // An independent copy of the document as it is now, made under the
    // session's lock, for the preview to render while edits go on.
    struct Snapshot {
        std::uint64_t version = 0;
        int frame = 0;                                    // the frame to render
        std::shared_ptr<const DisplayEncoding> encoding;  // what the preview is encoded through
        std::optional<nocturnia::runtime::Document> document;
    };
    Snapshot TakeSnapshot();
    // Releases a snapshot's document under the session's lock (node creation
    // and release stay on one thread at a time).
    void ReleaseSnapshot(Snapshot& snapshot);

private:
    // Runs `change` on the document; keeps its result when it altered the
    // document (an undo step, a new version), restores the document when it
    // threw. Called with the lock held.
    template <class Change> void ApplyChange(Change&& change);
    void Refresh();  // rebuilds the description and the state text; lock held
    // The description with the tracks' values at the current frame; the
    // container itself keeps the values it holds. Lock held.
    std::vector<nocturnia::runtime::DescriptionEntry> DescribeAtFrame();
    std::string MaskLabel(std::size_t index);
    void Replace(const std::string& text, const std::string& sourceName);

    std::mutex mutex_;
    nocturnia::runtime::Document document_;
    std::optional<std::filesystem::path> path_;
    std::optional<std::string> diskText_;  // the file as last read or written; none: no file yet
    std::string savedText_;                // the document as last read or saved
    std::string currentText_;
    std::vector<std::string> undo_;
    std::uint64_t version_ = 1;
    int frame_ = 0;
    DisplayChooser display_;
    std::string stateText_;
};

}  // namespace nocturnia::serve

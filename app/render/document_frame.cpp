#include "render/document_frame.h"

#include "text/user_error.h"

#include "runtime/track_evaluation.h"

namespace nocturnia::cli {

int ChosenFrame(const std::optional<int>& frame, const nocturnia::runtime::Document& document)
{
    return frame.value_or(document.Render().StartFrame());
}

void MoveToFrame(nocturnia::runtime::Node& shader, int frame)
{
    const nocturnia::runtime::Status status = nocturnia::runtime::ApplyTracksAtFrame(shader, frame);
    if (!status) {
        throw UserError(ErrorKind::kInput, "cannot animate frame " + std::to_string(frame) + ": " + status.message());
    }
}

}  // namespace nocturnia::cli

// The frame a command works at, and the shader put at that frame: the
// command's --frame, else the start of the document's frame range, else 0;
// every track's value at that frame written into the shader's container,
// as the host application does when its time line moves there.
#pragma once

#include "runtime/document.h"
#include "runtime/node.h"

#include <optional>

namespace nocturnia::cli {

int ChosenFrame(const std::optional<int>& frame, const nocturnia::runtime::Document& document);

// Throws UserError, naming the frame, when a track cannot be evaluated.
void MoveToFrame(nocturnia::runtime::Node& shader, int frame);

}  // namespace nocturnia::cli

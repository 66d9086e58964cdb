// The summary of a render that `--report FILE` writes as JSON, for farm
// managers and scripts: what was rendered (size, samples, threads), each
// frame with its file, time and samples per second, the files written, the
// totals, and how the job ended ("complete", "failed" with the error, or
// "interrupted"). Written also when the job fails, so the log says which
// frame stopped it.
//
// Work finer than a frame (a tile's pixel window, say) goes into `details`:
// the job's and each frame's are merged into their JSON objects as they are.
#pragma once

#include "runtime/result.h"
#include "runtime/value_json.h"

#include <optional>
#include <string>
#include <vector>

namespace nocturnia::cli {

struct FrameRecord {
    enum class Outcome { Rendered, Skipped, Failed };
    int frame = 0;
    Outcome outcome = Outcome::Rendered;
    std::string file;
    double seconds = 0.0;  // rendering and writing
    double samples = 0.0;
    std::string error;  // when failed
    nocturnia::runtime::Json details = nocturnia::runtime::Json::object();
};

struct RenderReport {
    std::optional<std::string> document;  // none: the built-in example
    int width = 0;
    int height = 0;
    int samples = 0;  // per pixel side
    int threads = 0;
    std::optional<double> fps;
    std::vector<FrameRecord> frames;
    std::string status = "complete";  // "complete", "failed", "interrupted"
    std::string error;
    double seconds = 0.0;  // the whole job, wall clock
    nocturnia::runtime::Json details = nocturnia::runtime::Json::object();

    nocturnia::runtime::Json ToJson() const;
    // Written atomically, as images are.
    nocturnia::runtime::Status Write(const std::string& path) const;
};

}  // namespace nocturnia::cli

#include "render/render_report.h"

#include "text/json_text.h"

#include "runtime/atomic_file.h"

namespace nocturnia::cli {

namespace {

using nocturnia::runtime::Json;

const char* OutcomeName(FrameRecord::Outcome outcome)
{
    switch (outcome) {
    case FrameRecord::Outcome::Skipped: return "skipped";
    case FrameRecord::Outcome::Failed: return "failed";
    case FrameRecord::Outcome::Rendered: break;
    }
    return "rendered";
}

// Samples per second, 0 where no time was measured.
double Rate(double samples, double seconds) { return seconds > 0.0 ? samples / seconds : 0.0; }

void Merge(Json& into, const Json& details)
{
    if (details.is_object()) {
        for (const auto& [key, value] : details.items()) {
            into[key] = value;
        }
    }
}

}  // namespace

Json RenderReport::ToJson() const
{
    Json out = Json::object();
    out["format"] = "nocturnia-render-report";
    out["version"] = 1;
    out["status"] = status;
    if (!error.empty()) {
        out["error"] = error;
    }
    out["document"] = document ? Json(*document) : Json(nullptr);
    out["width"] = width;
    out["height"] = height;
    out["samples"] = samples;
    out["threads"] = threads;
    if (fps) {
        out["fps"] = *fps;
    }
    Json frameList = Json::array();
    Json written = Json::array();
    int rendered = 0;
    int skipped = 0;
    double totalSamples = 0.0;
    double renderSeconds = 0.0;
    for (const FrameRecord& record : frames) {
        Json f = Json::object();
        f["frame"] = record.frame;
        f["status"] = OutcomeName(record.outcome);
        f["file"] = record.file;
        if (record.outcome == FrameRecord::Outcome::Rendered) {
            f["seconds"] = record.seconds;
            f["samples"] = record.samples;
            f["samples_per_second"] = Rate(record.samples, record.seconds);
            written.push_back(record.file);
            ++rendered;
            totalSamples += record.samples;
            renderSeconds += record.seconds;
        } else if (record.outcome == FrameRecord::Outcome::Skipped) {
            ++skipped;
        } else {
            f["error"] = record.error;
        }
        Merge(f, record.details);
        frameList.push_back(std::move(f));
    }
    out["frames"] = std::move(frameList);
    out["frames_rendered"] = rendered;
    out["frames_skipped"] = skipped;
    out["files_written"] = std::move(written);
    out["seconds"] = seconds;
    out["samples_total"] = totalSamples;
    out["samples_per_second"] = Rate(totalSamples, renderSeconds);
    Merge(out, details);
    return out;
}

nocturnia::runtime::Status RenderReport::Write(const std::string& path) const
{
    return nocturnia::runtime::WriteFileAtomically(path, JsonText(ToJson(), 2) + "\n");
}

}  // namespace nocturnia::cli

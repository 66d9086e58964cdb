// doc.sample() and doc.render(): the program's sampling and render loop on a
// copy of the document put at the frame, with the GIL released while the
// shader samples. The calling thread looks at Python's signals (Ctrl-C) and
// the progress callback about every tenth of a second.
#pragma once

#include "python_document.h"

#include "colour/output_color.h"

#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>

#include <optional>
#include <string>

namespace nocturnia::python {

// (N, 3) float64 colours of (N, 2) or (N, 3) texture points: what
// `nocturnia sample` prints. `sampler` is "batch" or "output".
pybind11::array_t<double> Sample(PythonDocument& self, pybind11::handle points, const std::optional<int>& frame,
                                 const std::string& sampler);

struct RenderArguments {
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> samples;
    std::optional<int> frame;
    std::optional<std::string> region;  // "X,Y,W,H"
    std::optional<std::string> tile;    // "I/N"
    std::optional<int> threads;
    pybind11::object progress;  // progress(done, total) -> False to stop, or None
    std::string dtype = "float32";
    std::string sampler = "batch";
};

// The (H, W, 3) linear pixels an EXR float render of the same options holds
// (H, W the region's or tile's when one is asked for).
pybind11::array Render(PythonDocument& self, const RenderArguments& arguments);

struct FileRenderArguments {
    std::string path;                   // may hold a frame pattern: "sky.####.exr"
    std::optional<std::string> frames;  // "1-100x5,200"
    std::optional<int> frame;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> samples;
    std::optional<int> threads;
    std::optional<std::string> tile;
    std::optional<std::string> region;
    bool half = false;
    std::optional<std::string> compression;
    std::optional<int> depth;
    bool skipExisting = false;
    std::optional<std::string> report;
    pybind11::object progress;
    std::string sampler = "batch";
    nocturnia::cli::ColorOutputOptions color;       // colorspace=, display=, view=
    nocturnia::cli::ColorConfigChoice colorConfig;  // ocio=, working_space=
};

// Renders and writes every frame as `nocturnia render` does; the report
// (what --report writes) as a dict.
pybind11::object RenderToFile(PythonDocument& self, const FileRenderArguments& arguments);

// "1-100x5" as it is; a sequence of frames as "1,5,7"; nothing for None.
std::optional<std::string> FrameListText(pybind11::handle frames);

// "X,Y,W,H" and "I/N" from a string or a tuple of numbers; nothing for None.
std::optional<std::string> RegionText(pybind11::handle region);
std::optional<std::string> TileText(pybind11::handle tile);

}  // namespace nocturnia::python

// The extension nocturnia._nocturnia: the Document class and the host's
// start, with their docstrings. The package (nocturnia/__init__.py) adds the
// exceptions, the Parameter record and the logging set-up.
#include "python_document.h"
#include "python_errors.h"
#include "python_host.h"
#include "python_parameters.h"
#include "python_rendering.h"
#include "python_values.h"

#include "text/track_edits.h"

#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

namespace py = pybind11;
using Kind = nocturnia::cli::EditOperation::Kind;

namespace nocturnia::python {

namespace {

void BindLifetime(py::class_<PythonDocument>& document)
{
    document.def_static("new", &NewDocument, py::arg("plugins") = py::none(),
                        "A new document with a default shader, as `nocturnia new` makes it.\n\n"
                        "plugins: the plug-in folder (else NOCTURNIA_PLUGINS, else the package's own).");
    document.def_static("open", &OpenDocument, py::arg("path"), py::arg("plugins") = py::none(),
                        "The document at path. Raises InputError when it cannot be read.");
    document.def("save", &SaveDocument, py::arg("path") = py::none(), py::arg("force") = false,
                 "Writes the document atomically to path, or where it was opened from or last saved.\n\n"
                 "Another existing file, or a read-only one, is replaced only with force=True.");
    document.def_property_readonly(
        "path", [](const PythonDocument& self) { return self.path; }, "Where the document was opened or saved.");
    document.def(
        "to_json", [](const PythonDocument& self) { return self.document->ToText(); },
        "The document as the JSON text save() writes.");
}

void BindEdits(py::class_<PythonDocument>& document)
{
    document.def("parameters", &Parameters, py::arg("frame") = py::none(),
                 "Every parameter as the Attribute Manager lists it: a list of Parameter records,\n"
                 "with the values at frame when given (the tracks decide), else as stored.");
    document.def("__getitem__", &ParameterValue, py::arg("label"),
                 "The stored value of a parameter: doc[\"Gamma\"], doc[\"Star Layer 2/Density\"].");
    document.def("__setitem__", &SetParameterValue, py::arg("label"), py::arg("value"),
                 "Sets a parameter as `edit --set` does: float, int, bool, a cycle's label, (r, g, b),\n"
                 "a gradient's knots, or a mask's name (None clears a Mask link).");
    document.def(
        "press",
        [](PythonDocument& self, const std::string& label) {
            ApplyOperations(self, {MakeOperation(Kind::Press, label)});
        },
        py::arg("label"), "Presses a button, e.g. \"Add Layer\".");
    document.def(
        "set_key",
        [](PythonDocument& self, const std::string& label, py::handle frame, py::handle value,
           const std::optional<std::string>& interpolation) {
            const std::string text =
                label + "@" + FrameText(frame) + "=" + ValueText(value) + (interpolation ? ":" + *interpolation : "");
            ApplyOperations(self, {MakeOperation(Kind::Key, text)});
        },
        py::arg("label"), py::arg("frame"), py::arg("value"), py::arg("interpolation") = py::none(),
        "Adds (or replaces) an animation key; interpolation is \"step\", \"linear\" or \"smooth\",\n"
        "or None for the default, as --key without one.");
    document.def(
        "remove_key",
        [](PythonDocument& self, const std::string& label, py::handle frame) {
            ApplyOperations(self, {MakeOperation(Kind::Unkey, label + "@" + FrameText(frame))});
        },
        py::arg("label"), py::arg("frame"), "Removes the key on that frame; a track left empty goes with it.");
}

void BindMasks(py::class_<PythonDocument>& document)
{
    document.def(
        "add_mask",
        [](PythonDocument& self, const std::string& kind, const std::optional<std::string>& name) {
            ApplyOperations(self, {MakeOperation(Kind::AddMask, kind, name)});
        },
        py::arg("kind"), py::arg("name") = py::none(),
        "Adds a mask shader: \"gradient\" or \"color\"; its parameters are then doc[\"NAME/Axis\"] and so on.");
    document.def(
        "remove_mask",
        [](PythonDocument& self, const std::string& name) {
            ApplyOperations(self, {MakeOperation(Kind::RemoveMask, name)});
        },
        py::arg("name"), "Removes a mask (by name or index); the links to it are cleared.");
    document.def(
        "set_render_setting",
        [](PythonDocument& self, const std::string& key, py::handle value) {
            ApplyOperations(self, {MakeOperation(Kind::Render, key + "=" + ValueText(value))});
        },
        py::arg("key"), py::arg("value"),
        "Sets a render setting as `edit --render` does: width, height, samples, aspect, fps, start, end, engine.");
}

void BindRendering(py::class_<PythonDocument>& document)
{
    document.def("sample", &Sample, py::arg("points"), py::arg("frame") = py::none(), py::arg("sampler") = "batch",
                 "The shader's colours at texture points: an (N, 3) float64 array, bit for bit\n"
                 "what `nocturnia sample` prints. points: (N, 2) or (N, 3) array-like of u, v[, w].");
    document.def(
        "render",
        [](PythonDocument& self, std::optional<int> width, std::optional<int> height, std::optional<int> samples,
           std::optional<int> frame, py::handle region, py::handle tile, std::optional<int> threads,
           py::object progress, std::string dtype, std::string sampler) {
            RenderArguments arguments{width,
                                      height,
                                      samples,
                                      frame,
                                      RegionText(region),
                                      TileText(tile),
                                      threads,
                                      std::move(progress),
                                      std::move(dtype),
                                      std::move(sampler)};
            return Render(self, arguments);
        },
        py::arg("width") = py::none(), py::arg("height") = py::none(), py::arg("samples") = py::none(),
        py::arg("frame") = py::none(), py::arg("region") = py::none(), py::arg("tile") = py::none(),
        py::arg("threads") = py::none(), py::arg("progress") = py::none(), py::arg("dtype") = "float32",
        py::arg("sampler") = "batch",
        "Renders the document: an (H, W, 3) array of linear pixels, what an EXR float render holds.\n\n"
        "region: \"X,Y,W,H\" or (x, y, w, h); tile: \"I/N\" or (i, n); the array then holds those pixels.\n"
        "progress(done, total) is called on this thread; returning False stops the render (Cancelled).");
}

void BindFileRendering(py::class_<PythonDocument>& document)
{
    document.def(
        "render_to_file",
        [](PythonDocument& self, const std::string& path, py::handle frames, std::optional<int> frame,
           std::optional<int> width, std::optional<int> height, std::optional<int> samples, std::optional<int> threads,
           py::handle tile, py::handle region, bool half, std::optional<std::string> compression,
           std::optional<int> depth, bool skipExisting, std::optional<std::string> report, py::object progress,
           std::string sampler, std::optional<std::string> colorspace, std::optional<std::string> display,
           std::optional<std::string> view, std::optional<std::string> ocio, std::optional<std::string> workingSpace) {
            const FileRenderArguments arguments{path,
                                                FrameListText(frames),
                                                frame,
                                                width,
                                                height,
                                                samples,
                                                threads,
                                                TileText(tile),
                                                RegionText(region),
                                                half,
                                                std::move(compression),
                                                depth,
                                                skipExisting,
                                                std::move(report),
                                                std::move(progress),
                                                std::move(sampler),
                                                {std::move(colorspace), std::move(display), std::move(view)},
                                                {std::move(ocio), std::move(workingSpace)}};
            return RenderToFile(self, arguments);
        },
        py::arg("path"), py::kw_only(), py::arg("frames") = py::none(), py::arg("frame") = py::none(),
        py::arg("width") = py::none(), py::arg("height") = py::none(), py::arg("samples") = py::none(),
        py::arg("threads") = py::none(), py::arg("tile") = py::none(), py::arg("region") = py::none(),
        py::arg("half") = false, py::arg("compression") = py::none(), py::arg("depth") = py::none(),
        py::arg("skip_existing") = false, py::arg("report") = py::none(), py::arg("progress") = py::none(),
        py::arg("sampler") = "batch", py::arg("colorspace") = py::none(), py::arg("display") = py::none(),
        py::arg("view") = py::none(), py::arg("ocio") = py::none(), py::arg("working_space") = py::none(),
        "Renders and writes the image files `nocturnia render` writes, frame by frame, and returns\n"
        "the report --report writes, as a dict.\n\n"
        "path: .exr or .png, with a frame pattern (\"sky.####.exr\") for several frames;\n"
        "frames: \"1-100x5,200\" or a list of frames; half, compression, depth: as --half,\n"
        "--compression, --depth; skip_existing: as --skip-existing, leave a frame whose file is already\n"
        "this render's image (same parameters, size, samples, frame, tile, colour), render others again.\n\n"
        "Colour, as `nocturnia [--ocio FILE] [--working-space NAME] render --colorspace/--display/--view`:\n"
        "colorspace: the EXR's space (default: the shader's own, unconverted); display, view: what a PNG\n"
        "is encoded for; ocio: the OpenColorIO config (default: $OCIO, else the program's own);\n"
        "working_space: the config's name for the shader's space. Unknown names raise UsageError.");
}

}  // namespace

}  // namespace nocturnia::python

PYBIND11_MODULE(_nocturnia, module)
{
    using namespace nocturnia::python;
    module.doc() = "The Nocturnia night-sky shader's documents, sampling and rendering (see the nocturnia package).";
    RegisterErrorTranslation();
    module.def("load_plugins", &EnsureHost, py::arg("plugins") = py::none(),
               "Loads the plug-ins (once per process) from plugins, NOCTURNIA_PLUGINS or the package's folder.");
    module.def("plugin_folder", &LoadedPluginFolder, "The folder the plug-ins were loaded from, or None.");
    py::class_<PythonDocument> document(module, "Document",
                                        "A Nocturnia document: a night-sky shader and its render settings.");
    BindLifetime(document);
    BindEdits(document);
    BindMasks(document);
    BindRendering(document);
    BindFileRendering(document);
}

// The program's commands. Each takes its parsed options, does its work and
// returns the exit status; problems with the user's input are thrown as
// UserError and reported by main as one line.
#pragma once

#include "colour/color_config.h"
#include "colour/output_color.h"
#include "image/image_settings.h"
#include "render/render_loop.h"
#include "text/parameter_edits.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace nocturnia::cli {

// Options every command shares.
struct GlobalOptions {
    std::optional<std::string> pluginFolder;  // --plugins; else NOCTURNIA_PLUGINS; else the program's folder
    bool quiet = false;                       // --quiet: no console lines, no progress
    std::optional<std::uint64_t> maxMemory;   // --max-memory: bound of the layers' estimated memory
    ColorConfigChoice color;                  // --ocio, --working-space
    std::vector<std::string> arguments;       // the whole command line, for images' metadata
};

// How the host asks the shader for colours: one Output call per sample, or
// the node's batch entry (which falls back to Output when not offered).
enum class SamplerKind { Output, Batch };

struct RenderOptions {
    std::optional<std::string> document;  // none: the built-in example
    std::optional<std::string> output;
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> samples;
    std::optional<int> threads;
    SamplerKind sampler = SamplerKind::Batch;  // --sampler
    std::vector<EditOperation> edits;          // --set, applied before rendering
    std::optional<std::string> tile;           // --tile I/N
    std::optional<std::string> region;         // --region X,Y,W,H
    ImageOutputOptions image;                  // --half, --compression, --depth
    ColorOutputOptions color;                  // --colorspace, --display, --view
    // Animation: the frames to render (--frames "1-100x5,200"; --frame N),
    // else the document's start frame; frames already on disk left alone;
    // a JSON summary of the job.
    std::optional<std::string> frames;
    std::optional<int> frame;
    bool skipExisting = false;
    std::optional<std::string> report;
};

struct AssembleOptions {
    std::vector<std::string> tiles;  // EXR files
    std::string output;              // -o: .exr or .png
    ImageOutputOptions image;
    ColorOutputOptions color;  // --display, --view (PNG)
};

struct SampleOptions {
    std::string document;
    std::vector<std::string> at;               // "U,V[,W]"
    std::optional<std::string> points;         // a file of "u v [w]" lines; "-" is standard input
    SamplerKind sampler = SamplerKind::Batch;  // --sampler
    std::optional<int> frame;                  // the tracks' frame; else the document's start frame
};

struct DescribeOptions {
    std::optional<std::string> document;  // none: the built-in example
    bool json = false;
    std::optional<int> frame;  // the tracks' frame; else the document's start frame
};

struct NewOptions {
    std::optional<std::string> output;  // none: standard output
    bool force = false;                 // overwrite an existing file
};

struct EditOptions {
    std::string document;
    std::optional<std::string> output;  // none: in place
    std::vector<EditOperation> edits;
    bool force = false;  // replace a read-only document
};

// `farm slurm`: a render of frames (and tiles) written, and submitted, as a Slurm job.
struct FarmSlurmOptions {
    std::string document;
    std::string frames;  // any list `render --frames` takes
    std::optional<int> tiles;
    bool keepTiles = false;  // each frame's tiles stay after its assembly
    std::string output;      // with the frame as #### or %04d
    bool submit = false;
    int cpusPerTask = 1;
    int chunk = 1;  // frames, or (frame, tile) pairs, per array task
    std::optional<std::string> jobFolder;
    std::optional<std::string> program;  // the nocturnia the nodes run; else this one
    std::optional<std::string> partition;
    std::optional<std::string> timeLimit;
    std::optional<int> maxArraySize;  // else the cluster's
    std::optional<int> width;
    std::optional<int> height;
    std::optional<int> samples;
    ColorOutputOptions color;  // --colorspace, --display, --view, passed on
};

struct ServeOptions {
    std::optional<std::string> document;  // none: a new document, saved under a name the page asks for
    std::string bind = "127.0.0.1";       // --bind: the address to listen on
    int port = 8417;                      // --port: 0 picks a free one
    std::optional<int> threads;           // preview render threads
};

int RunRender(const GlobalOptions& global, const RenderOptions& options);
int RunSample(const GlobalOptions& global, const SampleOptions& options);
int RunDescribe(const GlobalOptions& global, const DescribeOptions& options);
int RunNew(const GlobalOptions& global, const NewOptions& options);
int RunEdit(const GlobalOptions& global, const EditOptions& options);
int RunFarmSlurm(const GlobalOptions& global, const FarmSlurmOptions& options);
int RunAssemble(const GlobalOptions& global, const AssembleOptions& options);
int RunServe(const GlobalOptions& global, const ServeOptions& options);
// `colorspaces`: the config's spaces, displays and views.
int RunColorSpaces(const GlobalOptions& global);

}  // namespace nocturnia::cli

// The program `nocturnia`: a small stand-in host that loads the Nocturnia
// plug-in and renders, samples, describes, creates and edits documents.
#include "cli/commands.h"
#include "cli/image_file.h"
#include "cli/interruption.h"
#include "cli/memory_budget.h"
#include "cli/user_error.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <map>
#include <string>

namespace {

using namespace nocturnia::cli;

void Report(const std::string& message) {
    std::string line = message;
    // One line, whatever the message held.
    for (char& c : line) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    std::fprintf(stderr, "nocturnia: error: %s\n", line.c_str());
}

// The first argument that is neither an option nor the value of --plugins:
// the command the user meant.
std::string FirstWord(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (argument == "--plugins") {
            ++i;
        } else if (argument.empty() || argument[0] != '-') {
            return argument;
        }
    }
    return {};
}

// The --set and --press options of one command, in the order they were given.
std::vector<EditOperation> EditsInOrder(const CLI::App& command, const CLI::Option* set, const CLI::Option* press) {
    std::vector<EditOperation> edits;
    std::map<const CLI::Option*, std::size_t> used;
    for (const CLI::Option* option : command.parse_order()) {
        if (option != set && option != press) {
            continue;
        }
        const std::size_t index = used[option]++;
        if (index < option->results().size()) {
            edits.push_back({option == set ? EditOperation::Kind::Set : EditOperation::Kind::Press,
                             option->results()[index]});
        }
    }
    return edits;
}

CLI::Option* AddRepeated(CLI::App& command, const std::string& name, std::vector<std::string>& values,
                         const std::string& help) {
    return command.add_option(name, values, help)->expected(1)->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
}

std::string RenderFooter() {
    std::string text =
        "The image format follows OUT's extension: .exr (linear float, unclamped) or .png (8-bit sRGB, clamped).\n"
        "Without DOC the built-in example night sky is rendered. --set edits the document in memory first.";
    if (!ImageWritingAvailable()) {
        text += "\nThis build was made without image libraries (OpenEXR, libpng): image writing is not available.";
    }
    return text;
}

const char* kLabelHelp =
    "LABEL is a parameter's name (\"Gamma\"), qualified by its group where several share it\n"
    "(\"Star Layer 2/Density\"), or its numeric ID (30055). VALUE: a number for reals (50% and 90deg\n"
    "are accepted and stored as 0.5 and radians), true/false, an integer or a cycle label\n"
    "(\"Single Star\"), r,g,b for colours.";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{"Nocturnia: render and edit night-sky shader documents with the Nocturnia plug-in.", "nocturnia"};
    app.require_subcommand(1);
    // Options are spelled the same everywhere: on Windows CLI11 would also take
    // "/name" as an option and so misread an absolute path such as "/tmp/doc.json".
    app.allow_windows_style_options(false);
    app.fallthrough();

    GlobalOptions global;
    std::string pluginFolder;
    app.add_option("--plugins", pluginFolder,
                   "Folder to load plug-ins from (default: $NOCTURNIA_PLUGINS, else the program's folder)");
    app.add_flag("-q,--quiet", global.quiet, "Silence the console: plug-in messages, progress and summaries");
    std::string maxMemory;
    app.add_option("--max-memory", maxMemory,
                   "Refuse documents whose layers need more memory than this (e.g. 2G; default: the available memory)");

    // render
    RenderOptions render;
    std::string renderDocument, renderOutput;
    int renderWidth = 0, renderHeight = 0, renderSamples = 0, renderThreads = 0;
    std::vector<std::string> renderSets;
    CLI::App* renderCommand = app.add_subcommand("render", "Render a document (default: the built-in example) to an image");
    renderCommand->add_option("DOC", renderDocument, "Document to render");
    renderCommand->add_option("-o,--output", renderOutput, "Image to write, .png or .exr (default: DOC's name with .png)");
    renderCommand->add_option("--width", renderWidth, "Width in pixels (default: the document's)");
    renderCommand->add_option("--height", renderHeight, "Height in pixels (default: the document's)");
    renderCommand->add_option("--samples", renderSamples, "Samples per pixel side: N x N per pixel (default: the document's)");
    renderCommand->add_option("--threads", renderThreads, "Render threads (default: the CPUs this process may use)");
    std::string renderSampler = "batch";
    renderCommand->add_option("--sampler", renderSampler, "output: one Output call per sample; batch: many at once (default)")
        ->check(CLI::IsMember({"output", "batch"}));
    CLI::Option* renderSet = AddRepeated(*renderCommand, "--set", renderSets, "LABEL=VALUE: change a parameter first");
    renderCommand->footer(RenderFooter() + "\n" + kLabelHelp);

    // sample
    SampleOptions sample;
    std::string samplePoints;
    CLI::App* sampleCommand = app.add_subcommand("sample", "Print the shader's colour at texture points");
    sampleCommand->add_option("DOC", sample.document, "Document to sample")->required();
    AddRepeated(*sampleCommand, "--at", sample.at, "Texture point U,V[,W] (repeatable)");
    sampleCommand->add_option("--points", samplePoints, "File of lines \"u v [w]\"; - reads standard input");
    std::string sampleSampler = "batch";
    sampleCommand->add_option("--sampler", sampleSampler, "output: one Output call per point; batch: all at once (default)")
        ->check(CLI::IsMember({"output", "batch"}));
    sampleCommand->footer("Prints one line \"r g b\" per point, each number with 17 significant digits.");

    // describe
    DescribeOptions describe;
    std::string describeDocument;
    CLI::App* describeCommand =
        app.add_subcommand("describe", "List the shader's parameters as the Attribute Manager shows them");
    describeCommand->add_option("DOC", describeDocument, "Document to describe (default: the built-in example)");
    describeCommand->add_flag("--json", describe.json, "Print a JSON array instead of text");

    // new
    NewOptions create;
    std::string newOutput;
    CLI::App* newCommand = app.add_subcommand("new", "Write a new document with a default Nocturnia shader");
    newCommand->add_option("-o,--output", newOutput, "Document to write (default: standard output)");
    newCommand->add_flag("--force", create.force, "Replace the document if it exists");

    // edit
    EditOptions edit;
    std::string editOutput;
    std::vector<std::string> editSets, editPresses;
    CLI::App* editCommand = app.add_subcommand("edit", "Change parameters and press buttons, then save");
    editCommand->add_option("DOC", edit.document, "Document to edit")->required();
    CLI::Option* editSet = AddRepeated(*editCommand, "--set", editSets, "LABEL=VALUE: change a parameter");
    CLI::Option* editPress = AddRepeated(*editCommand, "--press", editPresses, "LABEL: press a button");
    editCommand->add_option("-o,--output", editOutput, "Save here instead of over DOC");
    editCommand->add_flag("--force", edit.force, "Replace the saved document even if it is read-only");
    editCommand->footer(std::string("Operations apply in the order given.\n") + kLabelHelp);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {
            return app.exit(e);
        }
        const std::string command = FirstWord(argc, argv);
        const std::vector<std::string> commands = {"render", "sample", "describe", "new", "edit"};
        if (!command.empty() && std::find(commands.begin(), commands.end(), command) == commands.end()) {
            Report("unknown command \"" + command + "\" (commands: render, sample, describe, new, edit)");
        } else {
            Report(std::string(e.what()) + " (see --help)");
        }
        return 2;
    }

    auto optionalText = [](const CLI::App* command, const char* name, const std::string& value) {
        return command->count(name) > 0 ? std::optional<std::string>(value) : std::nullopt;
    };
    auto optionalNumber = [](const CLI::App* command, const char* name, int value) {
        return command->count(name) > 0 ? std::optional<int>(value) : std::nullopt;
    };
    if (app.count("--plugins") > 0) {
        global.pluginFolder = pluginFolder;
    }
    if (app.count("--max-memory") > 0) {
        global.maxMemory = ParseByteSize(maxMemory);
        if (!global.maxMemory) {
            Report("--max-memory expects a size such as 512M or 2G, got \"" + maxMemory + "\"");
            return 2;
        }
    }

    InstallInterruptionHandlers();
    try {
        if (renderCommand->parsed()) {
            render.document = optionalText(renderCommand, "DOC", renderDocument);
            render.output = optionalText(renderCommand, "--output", renderOutput);
            render.width = optionalNumber(renderCommand, "--width", renderWidth);
            render.height = optionalNumber(renderCommand, "--height", renderHeight);
            render.samples = optionalNumber(renderCommand, "--samples", renderSamples);
            render.threads = optionalNumber(renderCommand, "--threads", renderThreads);
            render.sampler = renderSampler == "output" ? SamplerKind::Output : SamplerKind::Batch;
            render.edits = EditsInOrder(*renderCommand, renderSet, nullptr);
            return RunRender(global, render);
        }
        if (sampleCommand->parsed()) {
            sample.points = optionalText(sampleCommand, "--points", samplePoints);
            sample.sampler = sampleSampler == "output" ? SamplerKind::Output : SamplerKind::Batch;
            return RunSample(global, sample);
        }
        if (describeCommand->parsed()) {
            describe.document = optionalText(describeCommand, "DOC", describeDocument);
            return RunDescribe(global, describe);
        }
        if (newCommand->parsed()) {
            create.output = optionalText(newCommand, "--output", newOutput);
            return RunNew(global, create);
        }
        if (editCommand->parsed()) {
            edit.output = optionalText(editCommand, "--output", editOutput);
            edit.edits = EditsInOrder(*editCommand, editSet, editPress);
            return RunEdit(global, edit);
        }
    } catch (const Interrupted& stop) {
        Report(stop.what());
        return stop.ExitStatus();
    } catch (const UserError& error) {
        Report(error.what());
        return 1;
    } catch (const std::exception& error) {
        Report(std::string("internal error: ") + error.what());
        return 3;
    } catch (...) {
        Report("internal error");
        return 3;
    }
    return 1;
}

#include "pack/commands.h"

#include <fstream>
#include <sstream>
#include <system_error>

#include "pack/block_report.h"
#include "pack/executable_resources.h"
#include "pack/output_file.h"
#include "pack/pe_stub.h"
#include "pack/project.h"
#include "pack/self_path.h"
#include "pack/starter.h"
#include "pack/text_codec.h"

namespace {

constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

const char* const kGeneralHelp =
    "vtlpack - turns a project file into a Vantrel launcher executable for a Java application\n"
    "\n"
    "Usage:\n"
    "  vtlpack build PROJECT.toml -o OUT.exe [--stub STUB.exe | --arch i686|x86_64]\n"
    "                [--strip-signature] [--no-default-translations]\n"
    "  vtlpack inspect EXE\n"
    "  vtlpack init [FILE]\n"
    "  vtlpack help [COMMAND]\n"
    "\n"
    "Commands:\n"
    "  build    read a project file and write a launcher executable carrying its configuration\n"
    "  inspect  print the configuration block of a packed executable\n"
    "  init     write a commented starter project file\n"
    "  help     show the help of a command\n"
    "\n"
    "Run 'vtlpack help COMMAND' for the options of a command. PROJECT_FILE.md describes every\n"
    "setting of the project file.\n";

const char* const kBuildHelp =
    "Usage: vtlpack build PROJECT.toml -o OUT.exe [options]\n"
    "\n"
    "Reads PROJECT.toml, checks every setting and writes OUT.exe: the launcher stub with the\n"
    "resources (icon, version information, manifest), followed by the configuration block\n"
    "(settings, messages, translations and embedded files). On any error nothing is written\n"
    "and the exit code is 1.\n"
    "\n"
    "Options:\n"
    "  -o, --output OUT.exe        the executable to write (required); replaced only on success\n"
    "  --stub STUB.exe             the launcher stub to pack into\n"
    "  --arch i686|x86_64          use stubs/vantrel-ARCH.exe beside vtlpack (default x86_64;\n"
    "                              i686 only for 32-bit Java runtimes), or the windowed\n"
    "                              stubs/vantrelw-ARCH.exe for executable_type = \"gui\" or\n"
    "                              windowed = true\n"
    "  --strip-signature           remove the stub's Authenticode signature instead of refusing\n"
    "                              a signed stub (sign the packed executable afterwards)\n"
    "  --no-default-translations   pack no German and French message texts\n"
    "\n"
    "Without --stub or --arch the project's [build] stub or arch is used.\n";

const char* const kInspectHelp =
    "Usage: vtlpack inspect EXE\n"
    "\n"
    "Prints what a packed launcher executable carries: its subsystem (console or windowed),\n"
    "its resources (icon images, version information, manifest), and the configuration block:\n"
    "every key with its name and value, the messages of each language section, the embedded\n"
    "files with their sizes, and the offset past the file area. Exit code 1 when the file\n"
    "carries no block or the block is damaged (what could be read is still printed).\n";

const char* const kInitHelp =
    "Usage: vtlpack init [FILE]\n"
    "\n"
    "Writes a commented starter project file (default: vantrel.toml). An existing file is\n"
    "never overwritten.\n";

const char* helpFor(const std::string& command) {
    if (command == "build") return kBuildHelp;
    if (command == "inspect") return kInspectHelp;
    if (command == "init") return kInitHelp;
    if (command == "help") return kGeneralHelp;
    return nullptr;
}

int usageError(std::ostream& err, const std::string& message, const std::string& command) {
    err << "vtlpack: " << message << "\n";
    err << "Run 'vtlpack help" << (command.empty() ? "" : " " + command) << "' for the usage.\n";
    return kUsage;
}

bool wantsHelp(const std::vector<std::string>& args) {
    for (const auto& a : args)
        if (a == "-h" || a == "--help") return true;
    return false;
}

struct BuildRequest {
    std::string project, output, stub, arch;
    bool stripSignature = false;
    bool defaultTranslations = true;
};

bool parseBuildArgs(const std::vector<std::string>& args, BuildRequest* r, std::string* error) {
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string* into) {
            if (i + 1 >= args.size()) {
                *error = a + " needs a value";
                return false;
            }
            *into = args[++i];
            return true;
        };
        if (a == "-o" || a == "--output") {
            if (!value(&r->output)) return false;
        } else if (a == "--stub") {
            if (!value(&r->stub)) return false;
        } else if (a == "--arch") {
            if (!value(&r->arch)) return false;
            if (r->arch != "i686" && r->arch != "x86_64") {
                *error = "--arch must be i686 or x86_64, not '" + r->arch + "'";
                return false;
            }
        } else if (a == "--strip-signature") {
            r->stripSignature = true;
        } else if (a == "--no-default-translations") {
            r->defaultTranslations = false;
        } else if (!a.empty() && a[0] == '-') {
            *error = "unknown option '" + a + "'";
            return false;
        } else if (r->project.empty()) {
            r->project = a;
        } else {
            *error = "more than one project file given ('" + r->project + "' and '" + a + "')";
            return false;
        }
    }
    if (r->project.empty()) *error = "no project file given";
    else if (r->output.empty()) *error = "no output given; add -o OUT.exe";
    else if (!r->stub.empty() && !r->arch.empty()) *error = "give either --stub or --arch, not both";
    return error->empty();
}

// Current Java releases are 64-bit only (the 32-bit Windows port ended
// with Java 21), and a stub loads only runtimes of its own width.
const char* const kDefaultArch = "x86_64";

// The shipped stubs: stubs/vantrel-ARCH.exe, the console program, and
// stubs/vantrelw-ARCH.exe, the windowed one. A stub named on the command
// line or in the project is taken as it is (*named is set).
std::filesystem::path chooseStub(const BuildRequest& r, const Project& project, const char* argv0, bool windowed,
                                 bool* named) {
    *named = true;
    if (!r.stub.empty()) return std::filesystem::u8path(r.stub);
    if (r.arch.empty() && !project.stub.empty()) return project.stub;
    *named = false;
    std::string arch = !r.arch.empty() ? r.arch : !project.arch.empty() ? project.arch : kDefaultArch;
    return executablePath(argv0).parent_path() / "stubs" /
           ((windowed ? "vantrelw-" : "vantrel-") + arch + ".exe");
}

// A named stub of the other subsystem than [application] windowed asks for
// would quietly give the other kind of program.
bool stubMatchesWindowed(const Project& project, const std::string& image, std::string* error) {
    StubLayout layout;
    if (project.resources.windowed < 0 || !readStubLayout(image, &layout, error)) return true;
    bool windowed = layout.subsystem == kSubsystemWindows;
    if (windowed == (project.resources.windowed == 1)) return true;
    *error = std::string("it is a ") + (windowed ? "windowed" : "console") + " program, but [application] windowed = " +
             (windowed ? "false" : "true") + " asks for a " + (windowed ? "console" : "windowed") +
             " one; pack the stub stubs/" + (windowed ? "vantrel-" : "vantrelw-") + "ARCH.exe or change the setting";
    return false;
}

// The resources with the defaults that depend on the output: the
// application's name is the executable's file name without its extension.
bool resourcesFor(const Project& project, const std::filesystem::path& output, std::vector<Resource>* resources,
                  std::string* error) {
    std::u16string name, file;
    CodecProblem problem;
    if (!utf8ToUtf16(output.stem().u8string(), &name, &problem) ||
        !utf8ToUtf16(output.filename().u8string(), &file, &problem)) {
        *error = "the output's file name is not valid UTF-8";
        return false;
    }
    return executableResources(project.resources, name, file, resources, error);
}

bool readWholeFile(const std::filesystem::path& path, std::string* bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::stringstream content;
    content << in.rdbuf();
    *bytes = content.str();
    return !in.bad();
}

bool samePath(const std::filesystem::path& a, const std::filesystem::path& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec) && !ec;
}

// Feeds everything written to the PE checksum on its way to the file.
class ChecksumSink : public ByteSink {
public:
    explicit ChecksumSink(ByteSink& inner) : inner_(inner) {}
    bool write(const void* data, size_t n) override {
        checksum.add(data, n);
        return inner_.write(data, n);
    }
    PeChecksum checksum;

private:
    ByteSink& inner_;
};

bool writeExecutable(const Project& project, const StubPrefix& prefix, const std::filesystem::path& output,
                     OutputFile& file, uint64_t* size, std::string* error) {
    ChecksumSink sink(file);
    BlockWriteResult written;
    if (!file.open(output, error)) return false;
    if (!sink.write(prefix.bytes.data(), prefix.bytes.size()) || !writeBlock(project.block, sink, &written, error)) {
        if (error->empty()) *error = "writing failed";
        return false;
    }
    if (prefix.recomputeChecksum) {
        unsigned char field[4];
        uint32_t value = sink.checksum.finish();
        for (int i = 0; i < 4; ++i) field[i] = static_cast<unsigned char>(value >> (8 * i));
        if (!file.patch(prefix.checksumOffset, field, 4)) {
            *error = "writing failed";
            return false;
        }
    }
    *size = prefix.bytes.size() + written.totalBytes;
    return true;
}

int runBuild(const std::vector<std::string>& args, const char* argv0, std::ostream& out, std::ostream& err) {
    BuildRequest r;
    std::string error;
    if (!parseBuildArgs(args, &r, &error)) return usageError(err, "build: " + error, "build");
    std::filesystem::path projectPath = std::filesystem::u8path(r.project);
    std::filesystem::path outputPath = std::filesystem::u8path(r.output);

    Project project;
    std::vector<Diagnostic> diagnostics;
    ProjectOptions options;
    options.defaultTranslations = r.defaultTranslations;
    if (!loadProjectFile(projectPath, options, &project, &diagnostics)) {
        for (const auto& d : diagnostics) err << formatDiagnostic(d) << "\n";
        err << "vtlpack: " << diagnostics.size() << (diagnostics.size() == 1 ? " error" : " errors")
            << "; nothing written\n";
        return kFailed;
    }
    bool clash = samePath(outputPath, projectPath);
    for (const auto& f : project.block.files) clash = clash || samePath(outputPath, f.source);
    if (clash) {
        err << "vtlpack: the output " << r.output << " is one of the inputs; choose another name\n";
        return kFailed;
    }

    std::vector<Resource> resources;
    if (!resourcesFor(project, outputPath, &resources, &error)) {
        err << "vtlpack: " << r.output << ": " << error << "\nvtlpack: nothing written\n";
        return kFailed;
    }
    bool windowed = wantsWindowedStub(project), named = false;
    std::filesystem::path stubPath = chooseStub(r, project, argv0, windowed, &named);
    std::string image;
    StubPrefix prefix;
    if (!readWholeFile(stubPath, &image)) {
        err << "vtlpack: cannot read the launcher stub " << stubPath.u8string()
            << "; give one with --stub STUB.exe or choose one with --arch\n";
        return kFailed;
    }
    if ((named && !stubMatchesWindowed(project, image, &error)) ||
        !prepareStub(image, r.stripSignature, &prefix, &error) || !addResourceSection(&prefix, resources, &error)) {
        err << "vtlpack: stub " << stubPath.u8string() << ": " << error << "\nvtlpack: nothing written\n";
        return kFailed;
    }
    image.clear();

    OutputFile file;
    uint64_t size = 0;
    if (!writeExecutable(project, prefix, outputPath, file, &size, &error) || !file.commit(&error)) {
        err << "vtlpack: " << r.output << ": " << error << "\nvtlpack: nothing written\n";
        return kFailed;
    }
    out << "vtlpack: wrote " << r.output << " (" << size << " bytes): stub " << stubPath.u8string() << ", "
        << project.block.config.size() << " settings, " << project.block.messages.size() << " messages, "
        << project.block.sections.size() << " language sections, " << project.block.files.size()
        << " embedded files";
    if (project.resources.hasIcon) out << ", an icon of " << project.resources.icon.images.size() << " images";
    out << "\n";
    return kOk;
}

int runInspect(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() != 2) return usageError(err, "inspect takes exactly one executable", "inspect");
    FileByteSource source;
    if (!source.open(std::filesystem::u8path(args[1]))) {
        err << "vtlpack: cannot open " << args[1] << "\n";
        return kFailed;
    }
    BlockReport report;
    inspectExecutable(source, &report);
    printBlockReport(report, args[1], out);
    if (report.status != InspectStatus::Ok) {
        err << "vtlpack: " << args[1] << ": " << report.problem << "\n";
        return kFailed;
    }
    return kOk;
}

int runInit(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() > 2) return usageError(err, "init takes at most one file name", "init");
    std::string name = args.size() == 2 ? args[1] : "vantrel.toml";
    std::filesystem::path path = std::filesystem::u8path(name);
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) {
        err << "vtlpack: " << name << " already exists; it is left as it is (choose another name)\n";
        return kFailed;
    }
    OutputFile file;
    std::string error, text = starterProjectText();
    if (!file.open(path, &error) || !file.write(text.data(), text.size()) || !file.commit(&error)) {
        err << "vtlpack: " << name << ": " << error << "\n";
        return kFailed;
    }
    out << "vtlpack: wrote " << name << "; edit it, then run: vtlpack build " << name << " -o MyApp.exe\n";
    return kOk;
}

}  // namespace

int runVtlpack(const std::vector<std::string>& args, const char* argv0, std::ostream& out, std::ostream& err) {
    if (args.empty()) {
        err << kGeneralHelp;
        return kUsage;
    }
    const std::string& command = args[0];
    if (command == "-h" || command == "--help" || (command == "help" && args.size() == 1)) {
        out << kGeneralHelp;
        return kOk;
    }
    if (command == "help") {
        const char* text = helpFor(args[1]);
        if (!text || args.size() > 2) return usageError(err, "no help for '" + args[1] + "'", "");
        out << text;
        return kOk;
    }
    if (helpFor(command) && wantsHelp(args)) {
        out << helpFor(command);
        return kOk;
    }
    if (command == "build") return runBuild(args, argv0, out, err);
    if (command == "inspect") return runInspect(args, out, err);
    if (command == "init") return runInit(args, out, err);
    return usageError(err, "unknown command '" + command + "'", "");
}

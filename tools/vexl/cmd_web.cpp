// vexl web: a static web site that plays a demo in the browser: the web
// player's page, scripts and WebAssembly modules (carried inside vexl) and
// the demo's two files, in one folder.

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "platform/linux/tool_files.h"
#include "player/pack_survey.h"
#include "tools/vexl/command.h"
#include "tools/vexl/frame_file.h"
#include "tools/vexl/output_file.h"
#include "tools/vexl/web_page.h"

namespace vexl::tool {
namespace {

namespace fs = std::filesystem;

int run_web(std::span<const std::string_view> args);

const VexlCommand command(
    "web", "web DIR OUT",
    "Writes a web site into the folder OUT that plays the demo in DIR\n"
    "(ld_vexl.d1 and ld_vexl.d2) in any current browser: the web player's\n"
    "page index.html, its scripts and WebAssembly modules, and copies of the\n"
    "two files. Any static web server can serve it, for example\n"
    "  python3 -m http.server -d OUT 8000\n"
    "and then http://localhost:8000/ in the browser.\n"
    "\n"
    "The frame file is checked first: a damaged one is reported and nothing\n"
    "is written. OUT is written whole or not at all, also when the run is\n"
    "interrupted: it is made beside OUT under a temporary name and renamed\n"
    "at the end. An existing OUT is replaced only when it holds nothing but\n"
    "files vexl web writes; a symbolic link to it is followed.",
    run_web);

constexpr std::string_view frames_name = "ld_vexl.d1";
constexpr std::string_view sound_name = "ld_vexl.d2";

// The file names a site holds.
std::set<std::string, std::less<>> site_names()
{
    std::set<std::string, std::less<>> names{std::string(frames_name), std::string(sound_name)};
    for (const WebPageFile& file : web_page_files())
        names.emplace(file.name);
    return names;
}

// Empty when `out` may be replaced (or does not exist), else why not.
std::string check_replaceable(const fs::path& out)
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(out, ec);
    if (!fs::exists(status))
        return {};
    if (!fs::is_directory(status))
        return "exists and is not a folder";
    const auto names = site_names();
    for (const fs::directory_entry& entry : fs::directory_iterator(out, ec)) {
        if (!entry.is_regular_file(ec) || entry.is_symlink(ec) ||
            !names.contains(entry.path().filename().string()))
            return "holds " + entry.path().filename().string() +
                   ", which vexl web does not write; choose another folder";
    }
    if (ec)
        return ec.message();
    // Its files are removed once the new site stands.
    return platform::folder_problem(out.string());
}

// A name beside `target` that nothing has: `target` + `tag` + a number.
fs::path unused_sibling(const fs::path& target, std::string_view tag)
{
    std::random_device entropy;
    for (;;) {
        fs::path candidate = target;
        candidate += std::string(tag) + std::to_string(entropy() % 1000000000u);
        std::error_code ec;
        if (!fs::exists(fs::symlink_status(candidate, ec)))
            return candidate;
    }
}

// The site on its way: a new folder beside the target, its files unnamed
// until the end. A run that fails or is ended by a signal leaves neither
// the folder nor a file; the target stays as it was.
class SiteFolder {
public:
    explicit SiteFolder(fs::path target) : target_(std::move(target)) {}

    bool create(std::string& problem) { return folder_.make_beside(target_.string(), problem); }

    OutputFile& add(std::string_view name)
    {
        files_.push_back(std::make_unique<OutputFile>(fs::path(folder_.path()) / name));
        return *files_.back();
    }

    // Names the files and renames the folder to the target, all with the
    // termination signals held: a signal takes effect once the old site
    // or the new one stands whole. A target already there (checked
    // replaceable) is moved aside first and removed once the new site
    // stands, or put back when the new one could not be put in place.
    // True when the new site stands; `problem` then says whether the old
    // one could not be removed.
    bool commit(std::string& problem)
    {
        const platform::HeldTerminationSignals held;
        std::vector<OutputFile*> outputs;
        for (const auto& file : files_)
            outputs.push_back(file.get());
        if (const OutputFile* failed = OutputFile::commit_all(outputs)) {
            problem = failed->error();
            return discard();
        }
        std::error_code ec;
        const fs::path temp = folder_.path();
        fs::path old;
        if (fs::exists(fs::symlink_status(target_, ec))) {
            // An earlier site's folder keeps its permissions.
            fs::permissions(temp, fs::status(target_, ec).permissions(), ec);
            old = unused_sibling(target_, ".old-");
            fs::rename(target_, old, ec);
            if (ec) {
                problem = ec.message();
                return discard();
            }
        }
        fs::rename(temp, target_, ec);
        if (ec) {
            problem = ec.message();
            std::error_code ignored;
            if (!old.empty())
                fs::rename(old, target_, ignored);
            return discard();
        }
        folder_.keep();
        if (!old.empty() && (fs::remove_all(old, ec), ec))
            problem = "the earlier site stays in " + old.string() + ": " + ec.message();
        return true;
    }

private:
    // Empties the folder of the files already named; the folder goes with
    // the object.
    bool discard()
    {
        files_.clear();
        std::error_code ignored;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder_.path(), ignored))
            fs::remove(entry.path(), ignored);
        return false;
    }

    fs::path target_;
    platform::NewFolder folder_;  // destroyed after the files: empty by then
    std::vector<std::unique_ptr<OutputFile>> files_;
};

// OUT as a folder name: "site/" is "site".
fs::path folder_path(std::string_view arg)
{
    fs::path path = fs::path(arg).lexically_normal();
    if (!path.has_filename())
        path = path.parent_path();
    return path;
}

// Copies the open file `in` into `out`; false when reading failed (errno
// says why) or writing did (out.error()).
bool copy_stream(std::FILE* in, OutputFile& out)
{
    std::vector<std::uint8_t> buffer(1 << 16);
    for (;;) {
        const std::size_t got = std::fread(buffer.data(), 1, buffer.size(), in);
        if (got > 0 && !out.write({buffer.data(), got}))
            return false;
        if (got < buffer.size())
            return std::ferror(in) == 0;
    }
}

int run_web(std::span<const std::string_view> args)
{
    ParsedArgs parsed;
    if (const std::string problem = parse_args(args, {}, parsed); !problem.empty())
        return usage_error(command, problem);
    const auto& operands = parsed.operands;
    if (operands.size() != 2 || operands[0].empty() || operands[1].empty())
        return usage_error(command, "expected the demo's folder and an output folder");
    const fs::path dir(operands[0]);
    const fs::path out = folder_path(operands[1]);
    if (!out.has_filename() || out.filename() == "." || out.filename() == "..")
        return usage_error(command, "the output must name a folder");
    if (web_page_files().empty())
        return fail(exit_bad_input, command.name, "",
                    "this vexl was built without the web player, which needs emscripten "
                    "(./build.sh web installs it)");

    // Both inputs are looked at before anything is written; neither is
    // read from a device or a FIFO.
    const fs::path frames = dir / frames_name;
    const fs::path sound = dir / sound_name;
    std::string problem;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> sound_in(
        platform::open_regular_file(sound.string(), problem), std::fclose);
    if (sound_in == nullptr)
        return fail(exit_bad_input, command.name, sound.string(), problem);
    std::vector<std::uint8_t> image;
    if (!read_whole_file(frames, image, problem))
        return fail(exit_bad_input, command.name, frames.string(), problem);
    const PackInfo info = inspect_pack(image);
    for (const PackDamage& damage : info.damage)
        fail(exit_bad_input, command.name, frames.string(), describe(damage, info.capacity));
    if (info.damaged())
        return fail(exit_bad_input, command.name, frames.string(), "is damaged; no site written");
    if (info.whole_frames == 0)
        return fail(exit_bad_input, command.name, frames.string(), "holds no whole frame");

    // A symbolic link is followed: the folder it leads to is replaced.
    std::string target;
    if (!platform::resolve_links(out.string(), target, problem))
        return fail(exit_bad_input, command.name, out.string(), problem);
    if (const std::string why = check_replaceable(target); !why.empty())
        return fail(exit_bad_input, command.name, out.string(), why);

    SiteFolder site(target);
    if (!site.create(problem))
        return fail(exit_bad_input, command.name, out.string(), "cannot make the folder: " + problem);
    for (const WebPageFile& file : web_page_files())
        if (OutputFile& page = site.add(file.name); !page.write(file.bytes))
            return fail(exit_bad_input, command.name, out.string(), page.error());
    if (OutputFile& copy = site.add(frames_name); !copy.write(image))
        return fail(exit_bad_input, command.name, out.string(), copy.error());
    if (OutputFile& copy = site.add(sound_name); !copy_stream(sound_in.get(), copy))
        return copy.ok() ? fail(exit_bad_input, command.name, sound.string(), std::strerror(errno))
                         : fail(exit_bad_input, command.name, out.string(), copy.error());
    problem.clear();
    if (!site.commit(problem) || !problem.empty())
        return fail(exit_bad_input, command.name, out.string(), problem);
    return exit_ok;
}

}  // namespace
}  // namespace vexl::tool

// vexl web: a static web site that plays a demo in the browser: the web
// player's page, scripts and WebAssembly modules (carried inside vexl) and
// the demo's two files, in one folder.

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <string>
#include <system_error>
#include <vector>

#include "player/pack_survey.h"
#include "tools/vexl/command.h"
#include "tools/vexl/frame_file.h"
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
    "is written. OUT is written whole or not at all (it is made beside OUT\n"
    "under a temporary name and renamed at the end). An existing OUT is\n"
    "replaced only when it holds nothing but files vexl web writes.",
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
    return {};
}

// A sibling of `target` that did not exist: `target` + `tag` + a number.
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

// The site being written: a folder beside OUT, removed with everything in
// it unless it was put in place.
class SiteFolder {
public:
    explicit SiteFolder(fs::path target) : target_(std::move(target)) {}
    ~SiteFolder()
    {
        std::error_code ignored;
        if (!temp_.empty())
            fs::remove_all(temp_, ignored);
    }
    SiteFolder(const SiteFolder&) = delete;
    SiteFolder& operator=(const SiteFolder&) = delete;

    bool create(std::string& problem)
    {
        std::error_code ec;
        for (int attempt = 0; attempt < 16; ++attempt) {
            const fs::path candidate = unused_sibling(target_, ".tmp-");
            if (fs::create_directory(candidate, ec)) {
                temp_ = candidate;
                return true;
            }
            if (ec) {
                problem = ec.message();
                return false;
            }
        }
        problem = "cannot make a temporary folder";
        return false;
    }

    bool write(std::string_view name, std::span<const std::uint8_t> bytes, std::string& problem)
    {
        std::ofstream out(temp_ / name, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
        if (!out.flush()) {
            problem = "cannot write " + std::string(name);
            return false;
        }
        return true;
    }

    bool copy(const fs::path& from, std::string_view name, std::string& problem)
    {
        std::error_code ec;
        fs::copy_file(from, temp_ / name, ec);
        if (ec)
            problem = from.string() + ": " + ec.message();
        return !ec;
    }

    // Renames the folder to the target. A target already there (checked
    // replaceable) is moved aside first and removed once the new site
    // stands, or put back when the new one could not be put in place.
    bool commit(std::string& problem)
    {
        std::error_code ec;
        fs::path old;
        if (fs::exists(fs::symlink_status(target_, ec))) {
            old = unused_sibling(target_, ".old-");
            fs::rename(target_, old, ec);
            if (ec) {
                problem = ec.message();
                return false;
            }
        }
        fs::rename(temp_, target_, ec);
        if (ec) {
            problem = ec.message();
            std::error_code ignored;
            if (!old.empty())
                fs::rename(old, target_, ignored);
            return false;
        }
        temp_.clear();
        if (!old.empty())
            fs::remove_all(old, ec);
        return true;
    }

private:
    fs::path target_;
    fs::path temp_;
};

// OUT as a folder name: "site/" is "site".
fs::path folder_path(std::string_view arg)
{
    fs::path path = fs::path(arg).lexically_normal();
    if (!path.has_filename())
        path = path.parent_path();
    return path;
}

int run_web(std::span<const std::string_view> args)
{
    if (args.size() != 2 || args[0].empty() || args[1].empty())
        return usage_error(command, "expected the demo's folder and an output folder");
    const fs::path dir(args[0]);
    const fs::path out = folder_path(args[1]);
    if (!out.has_filename() || out.filename() == "." || out.filename() == "..")
        return usage_error(command, "the output must name a folder");
    if (web_page_files().empty())
        return fail(exit_bad_input, command.name, "",
                    "this vexl was built without the web player, which needs emscripten "
                    "(./build.sh web installs it)");

    const fs::path frames = dir / frames_name;
    const fs::path sound = dir / sound_name;
    std::vector<std::uint8_t> image;
    std::string problem;
    if (!read_whole_file(frames, image, problem))
        return fail(exit_bad_input, command.name, frames.string(), problem);
    const PackInfo info = inspect_pack(image);
    for (const PackDamage& damage : info.damage)
        fail(exit_bad_input, command.name, frames.string(), describe(damage, info));
    if (info.damaged())
        return fail(exit_bad_input, command.name, frames.string(), "is damaged; no site written");
    if (info.whole_frames == 0)
        return fail(exit_bad_input, command.name, frames.string(), "holds no whole frame");
    std::error_code ec;
    if (!fs::is_regular_file(sound, ec))
        return fail(exit_bad_input, command.name, sound.string(),
                    fs::exists(sound, ec) ? "is not a file" : "not found");
    if (const std::string why = check_replaceable(out); !why.empty())
        return fail(exit_bad_input, command.name, out.string(), why);

    SiteFolder site(out);
    if (!site.create(problem))
        return fail(exit_bad_input, command.name, out.string(), problem);
    for (const WebPageFile& file : web_page_files())
        if (!site.write(file.name, file.bytes, problem))
            return fail(exit_bad_input, command.name, out.string(), problem);
    if (!site.write(frames_name, image, problem) || !site.copy(sound, sound_name, problem) ||
        !site.commit(problem))
        return fail(exit_bad_input, command.name, out.string(), problem);
    return exit_ok;
}

}  // namespace
}  // namespace vexl::tool

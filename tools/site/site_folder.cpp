#include "tools/site/site_folder.h"

#include <algorithm>

#include "tools/site/site_layout.h"

namespace vexl::site {
namespace {

namespace fs = std::filesystem;

// Empty when everything in `folder` is something a site holds, else the
// first thing that is not (relative to the folder).
std::string foreign_entry(const fs::path& folder)
{
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        const std::string relative = it->path().lexically_relative(folder).generic_string();
        const bool is_folder = it->is_directory(ec) && !it->is_symlink(ec);
        if (!is_folder && (!it->is_regular_file(ec) || it->is_symlink(ec)))
            return relative;
        if (!site_may_hold(relative, is_folder))
            return relative;
    }
    return ec ? ec.message() : std::string();
}

}  // namespace

SiteFolder::~SiteFolder()
{
    files_.clear();
    while (!subfolders_.empty())
        subfolders_.pop_back();  // deepest first: a folder goes once empty
}

std::string SiteFolder::check_replaceable() const
{
    std::error_code ec;
    const fs::file_status status = fs::symlink_status(target_, ec);
    if (!fs::exists(status))
        return {};
    if (!fs::is_directory(status))
        return "exists and is not a folder";
    if (const std::string foreign = foreign_entry(target_); !foreign.empty())
        return "holds " + foreign + ", which vexl web does not write; choose another folder";
    // Its files are removed once the new site stands.
    return platform::folder_problem(target_.string());
}

void SiteFolder::clear_stale() const
{
    for (const std::string& stale : platform::stale_folders_beside(target_.string())) {
        std::error_code ec;
        if (foreign_entry(stale).empty())
            fs::remove_all(stale, ec);
    }
}

bool SiteFolder::create(std::string& problem) { return folder_.make_beside(target_.string(), problem); }

OutputFile* SiteFolder::add(std::string_view name, std::string& problem)
{
    // Folders on the way, each made once.
    for (std::size_t slash = name.find('/'); slash != std::string_view::npos; slash = name.find('/', slash + 1)) {
        const std::string folder(name.substr(0, slash));
        if (std::find(subfolder_names_.begin(), subfolder_names_.end(), folder) != subfolder_names_.end())
            continue;
        auto made = std::make_unique<platform::NewFolder>();
        if (!made->make((fs::path(folder_.path()) / folder).string(), problem))
            return nullptr;
        subfolder_names_.push_back(folder);
        subfolders_.push_back(std::move(made));
    }
    files_.push_back(std::make_unique<OutputFile>(fs::path(folder_.path()) / name));
    if (!files_.back()->ok()) {
        problem = files_.back()->error();
        return nullptr;
    }
    return files_.back().get();
}

bool SiteFolder::write(std::string_view name, std::span<const std::uint8_t> bytes, std::string& problem)
{
    OutputFile* file = add(name, problem);
    if (file == nullptr)
        return false;
    // Staged at once: a site has hundreds of files, which must not hold a
    // descriptor each until the commit.
    if (!file->write(bytes) || !file->stage()) {
        problem = file->error();
        return false;
    }
    return true;
}

bool SiteFolder::commit(std::string& problem)
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
    if (!fs::exists(fs::symlink_status(target_, ec))) {
        fs::rename(temp, target_, ec);
        if (ec) {
            problem = ec.message();
            return discard();
        }
        folder_.keep();
        for (const auto& subfolder : subfolders_)
            subfolder->keep();
        return true;
    }
    // An earlier site's folder keeps its permissions.
    fs::permissions(temp, fs::status(target_, ec).permissions(), ec);
    bool unsupported = false;
    fs::path earlier = temp;  // where the earlier site ends up
    if (!platform::exchange_names(temp.string(), target_.string(), unsupported, problem)) {
        if (!unsupported)
            return discard();
        // A file system without the exchange: the earlier site moves aside
        // first, and for a moment the target is missing.
        problem.clear();
        earlier = temp.string() + "-old";
        fs::rename(target_, earlier, ec);
        if (!ec)
            fs::rename(temp, target_, ec);
        if (ec) {
            problem = ec.message();
            std::error_code ignored;
            fs::rename(earlier, target_, ignored);
            return discard();
        }
    }
    // The temporary's folders have their names in the target now.
    for (const auto& subfolder : subfolders_)
        subfolder->keep();
    if (fs::remove_all(earlier, ec), ec)
        problem = "the earlier site stays in " + earlier.string() + ": " + ec.message();
    folder_.keep();
    return true;
}

bool SiteFolder::discard()
{
    files_.clear();
    std::error_code ignored;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder_.path(), ignored))
        if (!entry.is_directory(ignored))
            fs::remove(entry.path(), ignored);
    return false;
}

}  // namespace vexl::site

#pragma once
// A web site's folder on its way: made beside the target under a name of
// its own, filled, and put in the target's place whole. A run that fails or
// is ended by a signal leaves neither the folder nor a file, and the target
// as it was; a run killed outright (SIGKILL) leaves its folder, which the
// next run clears. An earlier site at the target is exchanged for the new
// one in one step, so the target's name stands at every moment.

#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/linux/tool_files.h"
#include "tools/vexl/output_file.h"

namespace vexl::site {

using tool::OutputFile;

class SiteFolder {
public:
    explicit SiteFolder(std::filesystem::path target) : target_(std::move(target)) {}
    ~SiteFolder();
    SiteFolder(const SiteFolder&) = delete;
    SiteFolder& operator=(const SiteFolder&) = delete;

    // Empty when the target may be replaced (it is missing, or a folder
    // holding nothing but what vexl web writes), else why not.
    std::string check_replaceable() const;

    // Removes the folders that runs killed on the way left beside the
    // target, when they hold nothing but a site's files.
    void clear_stale() const;

    bool create(std::string& problem);

    // A new file at `name` in the site ("demo/sound/0001.flac"), its folders
    // made as needed; null with `problem` set when it can't be made.
    OutputFile* add(std::string_view name, std::string& problem);

    // Writes `bytes` as the file `name` and closes it until the commit.
    bool write(std::string_view name, std::span<const std::uint8_t> bytes, std::string& problem);

    // Names the files and puts the folder in the target's place, with the
    // termination signals held. True when the new site stands; `problem`
    // then says whether the earlier one could not be removed.
    bool commit(std::string& problem);

private:
    bool discard();

    std::filesystem::path target_;
    platform::NewFolder folder_;                                  // the site's own
    std::vector<std::string> subfolder_names_;
    std::vector<std::unique_ptr<platform::NewFolder>> subfolders_;  // made in it, parents first
    std::vector<std::unique_ptr<OutputFile>> files_;
};

}  // namespace vexl::site

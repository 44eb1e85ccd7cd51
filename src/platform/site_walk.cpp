#include "platform/site_walk.hpp"

#include <system_error>

namespace lf::platform {

namespace fs = std::filesystem;

namespace {

// Walks one folder level by level. An error ends the walk of that folder only, so one unreadable
// folder does not hide the rest of the site.
void collect(const fs::path& directory, const std::string& rootPrefix, std::vector<SiteFile>& files) {
    std::error_code error;
    fs::directory_iterator entries(directory, error);
    if (error) return;
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
        if (error) return;
        const fs::directory_entry& entry = *entries;
        if (entry.path().filename().string().starts_with(".")) continue;
        std::error_code statusError;
        // symlink_status: a link is never followed.
        const fs::file_status status = entry.symlink_status(statusError);
        if (statusError || fs::is_symlink(status)) continue;
        if (fs::is_directory(status)) {
            collect(entry.path(), rootPrefix, files);
            continue;
        }
        if (!fs::is_regular_file(status)) continue;
        const uintmax_t size = entry.file_size(statusError);
        if (statusError) continue;
        const std::string resolved = fs::canonical(entry.path(), statusError).string();
        if (statusError || !resolved.starts_with(rootPrefix) || resolved.size() == rootPrefix.size()) continue;
        files.push_back({entry.path(), resolved.substr(rootPrefix.size()), size});
    }
}

}  // namespace

std::vector<SiteFile> siteFiles(const fs::path& folder) {
    std::error_code error;
    const fs::path root = fs::canonical(folder, error);
    if (error) return {};
    std::string rootPrefix = root.string();
    if (!rootPrefix.ends_with('/')) rootPrefix += '/';
    std::vector<SiteFile> files;
    collect(root, rootPrefix, files);
    return files;
}

}  // namespace lf::platform

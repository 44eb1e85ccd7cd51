#include "publish/ftp/upload_folder.hpp"

#include <algorithm>
#include <span>
#include <system_error>

#include "publish/ftp/curl_runner.hpp"
#include "publish/ftp/ftp_address.hpp"

namespace lf::publish::ftp {

namespace fs = std::filesystem;

namespace {

bool isHidden(const fs::path& path) {
    const std::string name = path.filename().string();
    return !name.empty() && name.front() == '.';
}

// Walks one folder level by level. Errors end the walk of that folder only, so one unreadable
// folder does not hide the rest of the site.
void collect(const fs::path& directory, const std::string& rootPrefix, std::vector<UploadItem>& items) {
    std::error_code error;
    fs::directory_iterator entries(directory, error);
    if (error) return;
    for (; entries != fs::directory_iterator(); entries.increment(error)) {
        if (error) return;
        const fs::path& path = entries->path();
        if (isHidden(path)) continue;
        std::error_code statusError;
        const fs::file_status status = entries->symlink_status(statusError);
        if (statusError || fs::is_symlink(status)) continue;
        if (fs::is_directory(status)) {
            collect(path, rootPrefix, items);
            continue;
        }
        if (!fs::is_regular_file(status)) continue;
        std::error_code resolveError;
        const std::string resolved = fs::canonical(path, resolveError).string();
        if (resolveError || !resolved.starts_with(rootPrefix)) continue;
        items.push_back({path, percentEncodedPath(std::string_view(resolved).substr(rootPrefix.size()))});
    }
}

}  // namespace

std::vector<UploadItem> collectUploadItems(const fs::path& folder) {
    std::error_code error;
    fs::path root = fs::canonical(folder, error);
    if (error) root = fs::absolute(folder, error);
    std::string rootPrefix = root.string();
    if (!rootPrefix.ends_with('/')) rootPrefix += '/';

    std::vector<UploadItem> items;
    collect(root, rootPrefix, items);
    // Remote paths are ASCII after encoding; comparing bytes orders them by Unicode scalar values.
    std::sort(items.begin(), items.end(),
              [](const UploadItem& a, const UploadItem& b) { return a.remote < b.remote; });
    return items;
}

int uploadFolder(const fs::path& folder, const std::string& server, const std::string& user,
                 const std::string& password, const std::string& directory, bool tls,
                 const lf::StopToken& stop, const lf::Progress& progress) {
    return uploadFolder(folder, server, user, password, directory, tls, stop, progress,
                        [](const std::string& config) { runCurl(config); });
}

int uploadFolder(const fs::path& folder, const std::string& server, const std::string& user,
                 const std::string& password, const std::string& directory, bool tls,
                 const lf::StopToken& stop, const lf::Progress& progress, const CurlRunner& run) {
    // The address is checked first, so a mistyped server fails before any file is looked at.
    const std::string base = baseAddress(server, directory);
    const std::vector<UploadItem> items = collectUploadItems(folder);
    const int total = static_cast<int>(items.size());
    if (items.empty()) {
        lf::report(progress, 0, 0, "Upload finished");
        return 0;
    }

    const std::span<const UploadItem> all(items);
    for (size_t done = 0; done < items.size(); done += filesPerBatch) {
        lf::throwIfStopped(stop);
        const auto batch = all.subspan(done, std::min(filesPerBatch, items.size() - done));
        lf::report(progress, static_cast<int>(done), total,
                   "Uploading " + percentDecoded(batch.front().remote) + "…");
        run(curlConfig(user, password, tls, base, batch));
    }
    lf::report(progress, total, total, "Upload finished");
    return total;
}

}  // namespace lf::publish::ftp

#include "publish/ftp/upload_folder.hpp"

#include <algorithm>
#include <span>

#include "platform/site_walk.hpp"
#include "publish/ftp/curl_runner.hpp"
#include "publish/ftp/ftp_address.hpp"

namespace lf::publish::ftp {

namespace fs = std::filesystem;

std::vector<UploadItem> collectUploadItems(const fs::path& folder) {
    std::vector<UploadItem> items;
    for (const platform::SiteFile& file : platform::siteFiles(folder)) {
        items.push_back({file.path, percentEncodedPath(file.relative)});
    }
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

// The standard slow steps of a build: the gallery builder, the FTP upload and the Cloudflare publish.
#include "app/build_flow.hpp"
#include "builder/gallery_builder.hpp"
#include "publish/ftp/upload_folder.hpp"

namespace lf::app {

BuildOperations BuildOperations::standard(int workers) {
    BuildOperations operations;
    operations.build = [workers](const model::Project& project, const std::optional<std::string>& homeURL,
                                 const Progress& progress, const StopToken& stop) {
        return builder::GalleryBuilder::build(project, homeURL, progress, stop, workers);
    };
    // Host and user go to the upload exactly as stored; the uploader itself reads the server text.
    operations.upload = [](const std::filesystem::path& folder, const model::GallerySettings& settings,
                           const std::string& password, const Progress& progress, const StopToken& stop) {
        return publish::ftp::uploadFolder(folder, settings.ftpHost, settings.ftpUser, password, settings.ftpDir,
                                          settings.ftpTLS, stop, progress);
    };
    operations.publish = [](const publish::cloudflare::CloudflarePublisher& publisher,
                            const std::filesystem::path& folder, const Progress& progress, const StopToken& stop) {
        return publisher.publish(folder, stop, progress);
    };
    return operations;
}

}  // namespace lf::app

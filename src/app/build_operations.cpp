// The standard slow steps of a build: the gallery builder, the FTP upload and the Cloudflare publish.
#include "app/build_flow.hpp"
#include "builder/gallery_builder.hpp"
#include "home/home_model.hpp"
#include "home/home_service.hpp"
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
    operations.homeAddress = [](const std::string& token, const std::string& accountID, const StopToken& stop) {
        return home::homeAddress(token, accountID, stop);
    };
    // The domain is the home page's own setting, read when the refresh runs, as the Home Page window
    // last saved it.
    operations.refreshHome = [](const std::string& token, const std::string& accountID, const StopToken& stop) {
        return home::HomeModel::updateAfterGalleryPublish(token, accountID, home::HomeModel::storedHomeDomain(), stop);
    };
    return operations;
}

}  // namespace lf::app

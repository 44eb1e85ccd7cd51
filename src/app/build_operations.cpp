// The standard slow steps of a build: the gallery builder, the FTP upload and the Cloudflare publish.
#include "app/build_flow.hpp"

namespace lf::app {

BuildOperations BuildOperations::standard() {
    BuildOperations operations;
    operations.build = [](const model::Project&, const std::optional<std::string>&, const Progress&,
                          const StopToken&) -> std::filesystem::path {
        throw lf::Error("Building is not available yet.");
    };
    operations.upload = [](const std::filesystem::path&, const model::GallerySettings&, const std::string&,
                           const Progress&, const StopToken&) -> int {
        throw lf::Error("Uploading by FTP is not available yet.");
    };
    operations.publish = [](const publish::cloudflare::CloudflarePublisher& publisher,
                            const std::filesystem::path& folder, const Progress& progress, const StopToken& stop) {
        return publisher.publish(folder, stop, progress);
    };
    return operations;
}

}  // namespace lf::app

// Writes a home page for the browser tests from a JSON description, without any network:
//   lf_demo_home FOLDER DESCRIPTION.json
// where the description is {"settings": <stored home settings>, "galleries": [{"siteName", "title",
// "url", "coverURL", "count", "locked"}, …]} with the galleries in display order, as discovery
// would hand them over.
#include <cstdio>
#include <exception>

#include "home/home_site.hpp"
#include "platform/files.hpp"
#include "platform/json.hpp"

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: lf_demo_home FOLDER DESCRIPTION.json\n");
        return 2;
    }
    try {
        const auto description = lf::json::parse(lf::platform::readFile(argv[2]));
        if (!description || !description->is_object()) throw std::runtime_error("the description is not a JSON object");
        const lf::home::HomeSettings settings =
            lf::home::HomeSettings::decode(description->value("settings", lf::json::Json::object()).dump());
        std::vector<lf::home::RemoteGallery> galleries;
        for (const auto& item : description->value("galleries", lf::json::Json::array())) {
            lf::home::RemoteGallery gallery;
            gallery.siteName = lf::json::getString(item, "siteName", "");
            gallery.title = lf::json::getString(item, "title", "");
            gallery.url = lf::json::getString(item, "url", "");
            gallery.coverURL = lf::json::getString(item, "coverURL", "");
            gallery.count = lf::json::getInt(item, "count", 0);
            gallery.locked = lf::json::optBool(item, "locked").value_or(false);
            galleries.push_back(gallery);
        }
        std::printf("%s\n", lf::home::buildSite(settings, galleries, argv[1]).c_str());
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "%s\n", error.what());
        return 1;
    }
}

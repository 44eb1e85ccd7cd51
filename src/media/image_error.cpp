#include "media/image_error.hpp"

namespace lf::media {

ImageError ImageError::unreadable(const std::string& name) {
    return ImageError("Couldn’t read the picture “" + name + "”.");
}

ImageError ImageError::unwritable(const std::string& name, const std::string& reason) {
    std::string text = "Couldn’t write “" + name + "”.";
    if (!reason.empty()) text += " " + reason + (reason.ends_with('.') ? "" : ".");
    return ImageError(text);
}

}  // namespace lf::media

#include "media/image_error.hpp"

namespace lf::media {

ImageError ImageError::unreadable(const std::string& name) {
    return ImageError("Couldn’t read the picture “" + name + "”.");
}

ImageError ImageError::unwritable(const std::string& name) {
    return ImageError("Couldn’t write “" + name + "”.");
}

}  // namespace lf::media

#pragma once
// The failures of reading and writing pictures, with the sentences the user sees.
#include <string>

#include "platform/error.hpp"

namespace lf::media {

class ImageError : public lf::Error {
public:
    // "Couldn’t read the picture “name”." name is a file name or a path relative to the folder.
    static ImageError unreadable(const std::string& name);
    // "Couldn’t write “name”." name is the destination's last path component or relative path.
    // A reason from the system ("No space left on device") follows as a sentence of its own.
    static ImageError unwritable(const std::string& name, const std::string& reason = {});

private:
    explicit ImageError(const std::string& message) : lf::Error(message) {}
};

}  // namespace lf::media

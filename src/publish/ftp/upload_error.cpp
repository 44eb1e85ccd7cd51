#include "publish/ftp/upload_error.hpp"

#include <utility>

namespace lf::publish::ftp {

UploadError::UploadError(Reason reason, const std::string& text, std::string curlMessage)
    : Error(text), reason_(reason), curlMessage_(std::move(curlMessage)) {}

UploadError UploadError::badServer() {
    return UploadError(Reason::badServer, "The FTP server address doesn’t look right.", {});
}

UploadError UploadError::curl(const std::string& message) {
    return UploadError(Reason::curl, "Upload failed: " + message, message);
}

}  // namespace lf::publish::ftp

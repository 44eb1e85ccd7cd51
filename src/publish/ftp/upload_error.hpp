#pragma once
// The failures of an FTP upload that the person can act on: a server address that cannot be used,
// and a curl run that failed with curl's own explanation.
#include <string>

#include "platform/error.hpp"

namespace lf::publish::ftp {

class UploadError : public lf::Error {
public:
    enum class Reason { badServer, curl };

    // "The FTP server address doesn’t look right."
    static UploadError badServer();

    // "Upload failed: " + message, where message is curl's own text.
    static UploadError curl(const std::string& message);

    Reason reason() const { return reason_; }

    // curl's text for Reason::curl; empty for Reason::badServer.
    const std::string& curlMessage() const { return curlMessage_; }

private:
    UploadError(Reason reason, const std::string& text, std::string curlMessage);

    Reason reason_;
    std::string curlMessage_;
};

}  // namespace lf::publish::ftp

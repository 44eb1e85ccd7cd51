#pragma once
// multipart/form-data bodies for the asset uploads and the Worker script upload.
#include <optional>
#include <string>
#include <vector>

namespace lf::publish::cloudflare {

struct MultipartPart {
    std::string name;
    std::optional<std::string> fileName;  // absent: no "filename" in the part's disposition
    std::string contentType;
    std::string bytes;
};

struct MultipartBody {
    std::string boundary;
    std::string bytes;

    // "multipart/form-data; boundary=" + boundary, the request's Content-Type.
    std::string contentType() const { return "multipart/form-data; boundary=" + boundary; }
};

// "Lanternfold-" followed by a new random UUID in upper case. Throws lf::Error when the system's
// random generator fails.
std::string newMultipartBoundary();

// The body of the parts in order, each with its Content-Disposition and Content-Type, closed by
// the final boundary line. Names and file names are written unescaped (they never hold quotes).
MultipartBody buildMultipart(const std::vector<MultipartPart>& parts, std::string boundary = newMultipartBoundary());

}  // namespace lf::publish::cloudflare

#include "publish/cloudflare/multipart.hpp"

#include <cstdio>

#include "platform/crypto.hpp"

namespace lf::publish::cloudflare {

std::string newMultipartBoundary() {
    auto bytes = crypto::secureRandomBytes(16);
    bytes[6] = static_cast<uint8_t>((bytes[6] & 0x0f) | 0x40);  // version 4
    bytes[8] = static_cast<uint8_t>((bytes[8] & 0x3f) | 0x80);  // RFC 4122 variant
    std::string uuid;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) uuid += '-';
        char digits[3];
        std::snprintf(digits, sizeof digits, "%02X", bytes[i]);
        uuid += digits;
    }
    return "Lanternfold-" + uuid;
}

MultipartBody buildMultipart(const std::vector<MultipartPart>& parts, std::string boundary) {
    MultipartBody body{std::move(boundary), {}};
    size_t size = body.boundary.size() + 8;
    for (const auto& part : parts) size += part.bytes.size() + part.name.size() + body.boundary.size() + 128;
    body.bytes.reserve(size);
    for (const auto& part : parts) {
        body.bytes += "--" + body.boundary;
        body.bytes += "\r\nContent-Disposition: form-data; name=\"" + part.name + "\"";
        if (part.fileName) body.bytes += "; filename=\"" + *part.fileName + "\"";
        body.bytes += "\r\nContent-Type: " + part.contentType + "\r\n\r\n";
        body.bytes += part.bytes;
        body.bytes += "\r\n";
    }
    body.bytes += "--" + body.boundary + "--\r\n";
    return body;
}

}  // namespace lf::publish::cloudflare

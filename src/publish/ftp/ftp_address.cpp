#include "publish/ftp/ftp_address.hpp"

#include <array>
#include <vector>

#include "platform/text.hpp"
#include "publish/ftp/upload_error.hpp"

namespace lf::publish::ftp {

namespace {

bool keptInPathComponent(unsigned char c) {
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
    constexpr std::string_view kept = "-._~!$&'()*+,=:@";
    return kept.find(static_cast<char>(c)) != std::string_view::npos;
}

std::vector<std::string_view> nonEmptyPieces(std::string_view text) {
    std::vector<std::string_view> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t slash = text.find('/', start);
        const size_t end = slash == std::string_view::npos ? text.size() : slash;
        if (end > start) pieces.push_back(text.substr(start, end - start));
        if (slash == std::string_view::npos) break;
        start = slash + 1;
    }
    return pieces;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

}  // namespace

std::string ftpHost(std::string_view server) {
    std::string host = lf::text::trimmed(server);
    // Each scheme is tested on what the previous test left, so "ftps://ftp://host" also gives "host".
    for (std::string_view scheme : {"ftps://", "ftp://", "sftp://"}) {
        if (lf::text::lowerASCII(host).starts_with(scheme)) host.erase(0, scheme.size());
    }
    while (!host.empty() && host.back() == '/') host.pop_back();
    if (host.empty() || host.find(' ') != std::string::npos) throw UploadError::badServer();
    return host;
}

std::string baseAddress(std::string_view server, std::string_view directory) {
    std::string address = "ftp://" + ftpHost(server) + "/";
    for (std::string_view piece : nonEmptyPieces(directory)) {
        address += percentEncodedComponent(piece);
        address += '/';
    }
    return address;
}

std::string percentEncodedComponent(std::string_view piece) {
    static constexpr std::array<char, 16> digits = {'0', '1', '2', '3', '4', '5', '6', '7',
                                                    '8', '9', 'A', 'B', 'C', 'D', 'E', 'F'};
    std::string encoded;
    encoded.reserve(piece.size());
    for (char ch : piece) {
        const auto c = static_cast<unsigned char>(ch);
        if (keptInPathComponent(c)) {
            encoded += ch;
        } else {
            encoded += '%';
            encoded += digits[c >> 4];
            encoded += digits[c & 0x0F];
        }
    }
    return encoded;
}

std::string percentEncodedPath(std::string_view path) {
    std::string joined;
    for (std::string_view piece : nonEmptyPieces(path)) {
        if (!joined.empty()) joined += '/';
        joined += percentEncodedComponent(piece);
    }
    return joined;
}

std::string percentDecoded(std::string_view text) {
    std::string decoded;
    decoded.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size()) return std::string(text);
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::string(text);
        decoded += static_cast<char>(high * 16 + low);
        i += 2;
    }
    if (!lf::text::isValidUTF8(decoded)) return std::string(text);
    return decoded;
}

}  // namespace lf::publish::ftp

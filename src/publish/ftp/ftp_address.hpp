#pragma once
// The FTP address rules: which host a typed server text names, the base address of the remote
// folder, and the percent-encoding of one path component.
#include <string>
#include <string_view>

namespace lf::publish::ftp {

// The host part of a server text as typed in the Publish tab: white space and line breaks trimmed,
// a leading "ftps://", "ftp://" or "sftp://" (in any case) removed, trailing slashes dropped.
// A port after a colon or further path segments pass through unchanged.
// Throws UploadError::badServer() when nothing is left or the result contains a space.
std::string ftpHost(std::string_view server);

// "ftp://" + host + "/" followed by each non-empty, percent-encoded piece of the remote directory
// with a "/" after it, e.g. ("Ftp://example.com/ ", "/www//gallery/") → "ftp://example.com/www/gallery/".
// The scheme is always ftp; TLS is asked for in the curl configuration, not by the address.
// Throws UploadError::badServer() for a server text that ftpHost refuses.
std::string baseAddress(std::string_view server, std::string_view directory);

// Every byte except ASCII letters and digits and - . _ ~ ! $ & ' ( ) * + , = : @ becomes "%" and two
// upper-case hexadecimal digits, so the piece can sit between two slashes of a URL path.
std::string percentEncodedComponent(std::string_view piece);

// Pieces of a relative path ("a//b/c d" → "a/b/c%20d"): split at "/", empty pieces dropped, each
// percent-encoded, joined with "/".
std::string percentEncodedPath(std::string_view path);

// Undoes percent-encoding for display; the text unchanged when it holds a malformed escape or the
// decoded bytes are not UTF-8.
std::string percentDecoded(std::string_view text);

}  // namespace lf::publish::ftp

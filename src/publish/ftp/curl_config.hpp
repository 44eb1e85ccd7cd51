#pragma once
// The configuration text that tells curl what to upload in one run: credentials, the fixed
// options, and one upload-file/url pair per file.
#include <filesystem>
#include <span>
#include <string>
#include <string_view>

namespace lf::publish::ftp {

// One file to send: where it is in the site folder, and its path below the base address with every
// component percent-encoded.
struct UploadItem {
    std::filesystem::path local;
    std::string remote;

    bool operator==(const UploadItem&) const = default;
};

// A value in double quotes as curl's configuration reader expects it: backslashes doubled, then
// double quotes preceded by a backslash, and line feeds, carriage returns and tabs written as \n, \r
// and \t, so that no value (a file name, a password) can end its line and add options of its own.
std::string quotedConfigValue(std::string_view value);

// The configuration text for one batch, each line ending in a line feed:
//   user = "USER:PASSWORD"
//   ftp-create-dirs / fail-early / silent / show-error / connect-timeout = 30
//   ssl-reqd                      (only with TLS)
//   upload-file = "LOCAL"  and  url = "BASE+REMOTE"  for each item, in order.
std::string curlConfig(std::string_view user, std::string_view password, bool tls,
                       std::string_view baseAddress, std::span<const UploadItem> batch);

}  // namespace lf::publish::ftp

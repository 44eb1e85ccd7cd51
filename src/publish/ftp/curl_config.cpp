#include "publish/ftp/curl_config.hpp"

namespace lf::publish::ftp {

std::string quotedConfigValue(std::string_view value) {
    std::string text = "\"";
    text.reserve(value.size() + 2);
    for (char c : value) {
        switch (c) {
        case '\\': text += "\\\\"; break;
        case '"': text += "\\\""; break;
        // curl reads its configuration line by line; a raw line break inside a value would end
        // the value there and let the rest of a file name or password become options.
        case '\n': text += "\\n"; break;
        case '\r': text += "\\r"; break;
        case '\t': text += "\\t"; break;
        default: text += c;
        }
    }
    text += '"';
    return text;
}

std::string curlConfig(std::string_view user, std::string_view password, bool tls,
                       std::string_view baseAddress, std::span<const UploadItem> batch) {
    std::string credentials(user);
    credentials += ':';
    credentials += password;

    std::string config = "user = " + quotedConfigValue(credentials) + "\n";
    config += "ftp-create-dirs\nfail-early\nsilent\nshow-error\nconnect-timeout = 30\n";
    if (tls) config += "ssl-reqd\n";
    for (const UploadItem& item : batch) {
        config += "upload-file = " + quotedConfigValue(item.local.string()) + "\n";
        std::string url(baseAddress);
        url += item.remote;
        config += "url = " + quotedConfigValue(url) + "\n";
    }
    return config;
}

}  // namespace lf::publish::ftp

#include "platform/crypto.hpp"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

namespace lf::crypto {

Bytes sha256(std::string_view data) {
    Bytes digest(SHA256_DIGEST_LENGTH);
    SHA256(reinterpret_cast<const unsigned char*>(data.data()), data.size(), digest.data());
    return digest;
}

std::string hex(const Bytes& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    out.reserve(bytes.size() * 2);
    for (uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0x0f]);
    }
    return out;
}

Bytes pbkdf2Sha256(std::string_view password, const Bytes& salt, int iterations, size_t length) {
    Bytes key(length);
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()), salt.data(),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(),
                          static_cast<int>(length), key.data()) != 1) {
        throw Error("The password could not be protected.");
    }
    return key;
}

Bytes secureRandomBytes(size_t count) {
    Bytes bytes(count);
    if (count > 0 && RAND_bytes(bytes.data(), static_cast<int>(count)) != 1) {
        throw Error("The system’s secure random generator failed.");
    }
    return bytes;
}

std::string base64(std::string_view bytes) {
    std::string out(4 * ((bytes.size() + 2) / 3), '\0');
    const int written = EVP_EncodeBlock(reinterpret_cast<unsigned char*>(out.data()),
                                        reinterpret_cast<const unsigned char*>(bytes.data()),
                                        static_cast<int>(bytes.size()));
    out.resize(static_cast<size_t>(written));
    return out;
}

std::string base64(const Bytes& bytes) {
    return base64(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

bool base64Decode(std::string_view text, Bytes& out) {
    std::string padded(text);
    while (padded.size() % 4 != 0) padded.push_back('=');
    out.assign(3 * padded.size() / 4, 0);
    const int written = EVP_DecodeBlock(out.data(), reinterpret_cast<const unsigned char*>(padded.data()),
                                        static_cast<int>(padded.size()));
    if (written < 0) return false;
    // EVP_DecodeBlock counts padding bytes as zeros; drop them.
    size_t pad = 0;
    for (size_t i = padded.size(); i > 0 && padded[i - 1] == '='; --i) ++pad;
    out.resize(static_cast<size_t>(written) - std::min(pad, static_cast<size_t>(written)));
    return true;
}

}  // namespace lf::crypto

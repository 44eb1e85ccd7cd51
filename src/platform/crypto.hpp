#pragma once
// Cryptographic primitives over OpenSSL: digests, key derivation, secure random bytes and Base64.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/error.hpp"

namespace lf::crypto {

using Bytes = std::vector<uint8_t>;

// SHA-256 of the bytes, 32 bytes.
Bytes sha256(std::string_view data);

// Lower-case hexadecimal text of bytes.
std::string hex(const Bytes& bytes);

// PBKDF2 with HMAC-SHA-256.
Bytes pbkdf2Sha256(std::string_view password, const Bytes& salt, int iterations, size_t length);

// Bytes from the system's cryptographically secure generator. Throws lf::Error when the generator
// fails: callers never fall back to a weaker source.
Bytes secureRandomBytes(size_t count);

// Standard Base64 with "=" padding and no line breaks.
std::string base64(const Bytes& bytes);
std::string base64(std::string_view bytes);

// Decodes standard Base64 (padding optional); nothing is thrown, invalid input gives false.
bool base64Decode(std::string_view text, Bytes& out);

}  // namespace lf::crypto

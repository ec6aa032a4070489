#include "password_hash.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/rand.h>

#include <array>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <vector>

#include "text_encoding.h"

namespace pushnote::inbox {
namespace {

constexpr std::uint64_t kCost = 1 << 15;
constexpr std::uint64_t kBlockSize = 8;
constexpr std::uint64_t kParallel = 1;
constexpr std::size_t kSaltBytes = 16;
constexpr std::size_t kHashBytes = 32;
// Room for the cost above (128 * N * r bytes) with OpenSSL's own overhead;
// a stored hash asking for more is refused rather than obeyed.
constexpr std::uint64_t kMaxMemory = 64 * 1024 * 1024;

std::optional<std::vector<unsigned char>> FromHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<unsigned char> bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        int value = 0;
        for (char c : text.substr(i, 2)) {
            const int digit = c >= '0' && c <= '9'   ? c - '0'
                              : c >= 'a' && c <= 'f' ? c - 'a' + 10
                                                     : -1;
            if (digit < 0) return std::nullopt;
            value = value * 16 + digit;
        }
        bytes.push_back(static_cast<unsigned char>(value));
    }
    return bytes;
}

bool Scrypt(std::string_view password, const std::vector<unsigned char>& salt, std::uint64_t n,
            std::uint64_t r, std::uint64_t p, unsigned char* out, std::size_t size) {
    return EVP_PBE_scrypt(password.data(), password.size(), salt.data(), salt.size(), n, r, p,
                          kMaxMemory, out, size) == 1;
}

std::optional<std::uint64_t> Number(std::string_view text) {
    if (text.empty() || text.size() > 9) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

}  // namespace

std::string HashPassword(std::string_view password) {
    std::vector<unsigned char> salt(kSaltBytes);
    if (RAND_bytes(salt.data(), static_cast<int>(salt.size())) != 1) {
        throw std::runtime_error("no random bytes for a salt");
    }
    std::array<unsigned char, kHashBytes> hash{};
    if (!Scrypt(password, salt, kCost, kBlockSize, kParallel, hash.data(), hash.size())) {
        throw std::runtime_error("scrypt failed");
    }
    return "scrypt:" + std::to_string(kCost) + ":" + std::to_string(kBlockSize) + ":" +
           std::to_string(kParallel) + ":" +
           Hex({reinterpret_cast<const char*>(salt.data()), salt.size()}) + ":" +
           Hex({reinterpret_cast<const char*>(hash.data()), hash.size()});
}

bool PasswordMatches(std::string_view password, std::string_view stored) {
    std::array<std::string_view, 6> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t colon = stored.find(':');
        if ((colon == std::string_view::npos) != (i == fields.size() - 1)) return false;
        fields[i] = stored.substr(0, colon);
        stored = colon == std::string_view::npos ? std::string_view() : stored.substr(colon + 1);
    }
    const auto n = Number(fields[1]), r = Number(fields[2]), p = Number(fields[3]);
    const auto salt = FromHex(fields[4]), expected = FromHex(fields[5]);
    if (fields[0] != "scrypt" || !n || !r || !p || !salt || !expected || expected->empty() ||
        expected->size() > 64) {
        return false;
    }
    std::vector<unsigned char> hash(expected->size());
    return Scrypt(password, *salt, *n, *r, *p, hash.data(), hash.size()) &&
           CRYPTO_memcmp(hash.data(), expected->data(), hash.size()) == 0;
}

}  // namespace pushnote::inbox

#include "base/access_token.h"

#include <cstring>

namespace pushnote {
namespace {

char g_accessToken[kMaxAccessTokenLength + 1] = {};

bool IsControlByte(unsigned char byte) {
    return byte < 0x20 || byte == 0x7F;
}

}  // namespace

bool SetAccessToken(const char* token) noexcept {
    if (!token) token = "";
    const std::size_t length = std::strlen(token);
    if (length > kMaxAccessTokenLength) return false;
    for (std::size_t i = 0; i < length; ++i) {
        if (IsControlByte(static_cast<unsigned char>(token[i]))) return false;
    }
    std::memcpy(g_accessToken, token, length + 1);
    return true;
}

const char* AccessToken() noexcept {
    return g_accessToken;
}

}  // namespace pushnote

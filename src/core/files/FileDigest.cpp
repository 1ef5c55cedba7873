#include "core/files/FileDigest.h"

#include <openssl/evp.h>

#include <array>
#include <fstream>
#include <memory>

#include "core/files/RegularFile.h"

namespace kivo {

namespace {

struct DigestContextFree {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using DigestContext = std::unique_ptr<EVP_MD_CTX, DigestContextFree>;

std::string Hex(const unsigned char* bytes, unsigned int count) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(count * 2u);
    for (unsigned int i = 0; i < count; ++i) {
        text += kDigits[bytes[i] >> 4];
        text += kDigits[bytes[i] & 0x0f];
    }
    return text;
}

// Feeds what `read` hands out until it says the end; nothing when the digest failed.
template <typename Reader>
std::optional<std::string> Digest(Reader&& read) {
    const DigestContext context(EVP_MD_CTX_new());
    if (!context || EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1)
        return std::nullopt;
    std::string_view piece;
    bool more = true;
    while (more) {
        if (!read(piece, more)) return std::nullopt;
        if (!piece.empty() && EVP_DigestUpdate(context.get(), piece.data(), piece.size()) != 1)
            return std::nullopt;
    }
    std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
    unsigned int size = 0;
    if (EVP_DigestFinal_ex(context.get(), digest.data(), &size) != 1) return std::nullopt;
    return Hex(digest.data(), size);
}

}  // namespace

std::string Sha256Hex(std::string_view bytes) {
    return Digest([bytes](std::string_view& piece, bool& more) {
               piece = bytes;
               more = false;
               return true;
           })
        .value_or(std::string());
}

std::optional<std::string> Sha256HexOfFile(const std::string& path) {
    if (!IsRegularFile(path)) return std::nullopt;
    std::ifstream file(path, std::ios::binary);
    if (!file) return std::nullopt;
    std::array<char, 64 * 1024> buffer{};
    return Digest([&file, &buffer](std::string_view& piece, bool& more) {
        file.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        piece = std::string_view(buffer.data(), static_cast<std::size_t>(file.gcount()));
        more = static_cast<bool>(file);
        return more || file.eof();
    });
}

}  // namespace kivo

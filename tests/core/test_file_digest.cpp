// File digests against the published SHA-256 test vectors, and a file read in pieces giving
// the digest of its whole bytes.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "Fifo.h"
#include "core/files/FileDigest.h"

namespace kivo {
namespace {

TEST(FileDigest, KnownVectors) {
    EXPECT_EQ(Sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(Sha256Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
}

TEST(FileDigest, AFileLongerThanOnePieceAndNoFileAtAll) {
    char folder[] = "/tmp/kivo-digest-XXXXXX";
    ASSERT_NE(mkdtemp(folder), nullptr);
    const std::string path = std::string(folder) + "/cal.dev";
    // A million 'a's: the third published vector, read in several pieces.
    std::ofstream(path, std::ios::binary) << std::string(1000000, 'a');
    EXPECT_EQ(Sha256HexOfFile(path),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    EXPECT_FALSE(Sha256HexOfFile(std::string(folder) + "/missing.dev"));
    {
        const test::FifoGuard fifo(std::string(folder) + "/pipe.dev");
        ASSERT_TRUE(fifo.Made());
        EXPECT_FALSE(Sha256HexOfFile(std::string(folder) + "/pipe.dev"));
        EXPECT_FALSE(fifo.Released());
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace kivo

// The tests' SHA-256 gives sha256sum's digests, so that the kept digest
// files can be checked and written with sha256sum as well.
#include "platform/tests/support/sha256.h"

#include <gtest/gtest.h>

#include "platform/tests/support/run_program.h"

namespace {

TEST(Sha256, GivesTheStandardDigests) {
    EXPECT_EQ(sha256_of(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_of("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    // 56 bytes: the length no longer fits the first block.
    EXPECT_EQ(sha256_of("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256_of(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Sha256, AddedInPiecesAsWhole) {
    const std::string text(200, 'x');
    Sha256 s;
    for (size_t k = 0; k < text.size(); k += 7) s.add(text.substr(k, 7));
    EXPECT_EQ(s.hex(), sha256_of(text));
}

TEST(Sha256, ReadsDigestFilesInSha256sumsFormat) {
    const TempDir d;
    {
        std::ofstream(d.file("a.txt")) << "abc";
        std::ofstream(d.file("kept.sha256"))
            << "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad  a.txt\nnot a digest line\n";
    }
    const auto kept = read_digests(d.file("kept.sha256"));
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(kept.at("a.txt"), sha256_of_file(d.file("a.txt")));
    EXPECT_EQ(sha256_of_file(d.file("missing")), "");
}

}  // namespace

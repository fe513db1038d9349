#include "md5.h"

#include <gtest/gtest.h>

#include <string>

using vex::md5_hasher;

namespace {

std::string md5_of(const std::string& s) {
    return md5_hasher(s.data(), s.size()).hex_digest();
}

} // namespace

TEST(md5, rfc_1321_test_suite) {
    const struct {
        const char* text;
        const char* digest;
    } cases[] = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"a", "0cc175b9c0f1b6a831c399e269772661"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"message digest", "f96b697d7cb7938d525a2f31aaf161d0"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789", "d174ab98d277d9f5a5611c2c9f419d9f"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) EXPECT_EQ(md5_of(c.text), c.digest) << '"' << c.text << '"';
    EXPECT_EQ(md5_of(std::string(1000000, 'a')), "7707d6ae4e027c70eea2a935c2296f21");
}

// Every length from 0 to 300 against Python's hashlib: each padding case,
// 56 modulo 64 (a whole block of padding) among them.
TEST(md5, every_length_to_300_gives_the_known_digest) {
    std::string message;
    for (int i = 0; i < 300; ++i) message += char(i * 37 + 11);
    EXPECT_EQ(md5_of(message.substr(0, 56)), "e23567645846677c205de80f9779081b");
    EXPECT_EQ(md5_of(message.substr(0, 120)), "bf240b8b7407fba3805adeec63a03b77");
    EXPECT_EQ(md5_of(message.substr(0, 184)), "0d9aa1048d1d49cbe89998800740fa0d");
    std::string digests;
    for (size_t n = 0; n <= 300; ++n) digests += md5_of(message.substr(0, n));
    EXPECT_EQ(md5_of(digests), "3ec9002491042c048173128a4fb278f3") << "the digest of the 301 digests";
}

TEST(md5, any_split_gives_the_digest_of_the_whole) {
    std::string message;
    for (int i = 0; i < 200; ++i) message += char(i * 37 + 11);
    // Lengths around the padding and block boundaries.
    for (size_t n : {55u, 56u, 63u, 64u, 65u, 119u, 120u, 128u, 200u}) {
        const std::string whole = md5_of(message.substr(0, n));
        for (size_t cut : {size_t(0), size_t(1), n / 2, n - 1, n}) {
            md5_hasher h(message.data(), cut);
            h.update(message.data() + cut, n - cut);
            EXPECT_EQ(h.hex_digest(), whole) << n << " cut at " << cut;
        }
    }
}

TEST(md5, taking_the_digest_does_not_end_the_message) {
    md5_hasher h("message ", 8);
    EXPECT_EQ(h.hex_digest(), md5_of("message "));
    EXPECT_EQ(h.hex_digest(), md5_of("message ")) << "twice without an update";
    h.update("digest", 6);
    EXPECT_EQ(h.hex_digest(), "f96b697d7cb7938d525a2f31aaf161d0");
}

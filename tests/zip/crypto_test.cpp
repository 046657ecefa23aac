// Published vectors for AES (FIPS 197), SHA-1 (FIPS 180), HMAC-SHA1 (RFC 2202) and PBKDF2
// (RFC 6070); the WinZip AES record and its read filter; traditional zip encryption.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "zip/WinCrypto.h"
#include "zip/ZipCrypto.h"

namespace {

typedef std::vector<uint8_t> Bytes;

Bytes Hex(const char *hex) {
  Bytes out;
  for (; hex[0] && hex[1]; hex += 2) {
    unsigned v;
    sscanf(hex, "%2x", &v);
    out.push_back(static_cast<uint8_t>(v));
  }
  return out;
}

std::string ToHex(const uint8_t *p, size_t n) {
  std::string s;
  char b[3];
  for (size_t i = 0; i < n; ++i) {
    snprintf(b, sizeof b, "%02x", p[i]);
    s += b;
  }
  return s;
}

std::string Sha1Hex(const std::string &data) {
  uint8_t d[20];
  EXPECT_TRUE(Sha1Digest(d, data.data(), static_cast<uint32_t>(data.size())));
  return ToHex(d, 20);
}

// The code of data given in pieces of at most piece bytes.
std::string HmacHex(const Bytes &key, const std::string &data, int length = 20, size_t piece = 0) {
  CHmacSha1 h;
  EXPECT_TRUE(h.Init(key.data(), static_cast<uint32_t>(key.size())));
  if (!piece) piece = data.size() ? data.size() : 1;
  for (size_t at = 0; at < data.size(); at += piece)
    EXPECT_TRUE(h.Update(data.data() + at, static_cast<uint32_t>(std::min(piece, data.size() - at))));
  uint8_t d[20];
  EXPECT_EQ(length, h.Final(d, length));
  return ToHex(d, length);
}

std::string Pbkdf2Hex(const std::string &pw, const std::string &salt, uint32_t iterations, uint32_t n) {
  Bytes out(n);
  EXPECT_TRUE(Pbkdf2HmacSha1(pw.data(), static_cast<uint32_t>(pw.size()), salt.data(),
                             static_cast<uint32_t>(salt.size()), iterations, out.data(), n));
  return ToHex(out.data(), n);
}

TEST(Aes, Fips197Vectors) {
  struct {
    const char *key, *plain, *cipher;
  } cases[] = {
      {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734",
       "3925841d02dc09fbdc118597196a0b32"},
      {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff",
       "69c4e0d86a7b0430d8cdb78070b4c55a"},
      {"000102030405060708090a0b0c0d0e0f1011121314151617", "00112233445566778899aabbccddeeff",
       "dda97ca4864cdfe06eaf70a0ec0d7191"},
      {"000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
       "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"},
  };
  for (auto &c : cases) {
    Bytes key = Hex(c.key), plain = Hex(c.plain);
    CAesKey aes;
    ASSERT_TRUE(aes.Init(key.data(), static_cast<int>(key.size())));
    uint8_t out[32];
    std::memcpy(out, plain.data(), 16);
    std::memcpy(out + 16, plain.data(), 16);
    ASSERT_TRUE(aes.EncryptBlocks(out, out, 2));  // in place, two blocks at once
    EXPECT_EQ(c.cipher, ToHex(out, 16)) << c.key;
    EXPECT_EQ(c.cipher, ToHex(out + 16, 16)) << c.key;
  }
  CAesKey none;
  uint8_t key[32] = {}, block[16] = {};
  EXPECT_FALSE(none.Init(key, 20));
  EXPECT_FALSE(none.EncryptBlocks(block, block, 1));
}

TEST(Sha1, Fips180Vectors) {
  EXPECT_EQ("a9993e364706816aba3e25717850c26c9cd0d89d", Sha1Hex("abc"));
  EXPECT_EQ("84983e441c3bd26ebaae4aa1f95129e5e54670f1",
            Sha1Hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"));
  EXPECT_EQ("da39a3ee5e6b4b0d3255bfef95601890afd80709", Sha1Hex(""));
  EXPECT_EQ("34aa973cd4c4daa4f61eeb2bdbad27316534016f", Sha1Hex(std::string(1000000, 'a')));
}

TEST(HmacSha1, Rfc2202Vectors) {
  EXPECT_EQ("b617318655057264e28bc0b6fb378c8ef146be00", HmacHex(Bytes(20, 0x0b), "Hi There"));
  EXPECT_EQ("effcdf6ae5eb2fa2d27416d5f184df9c259a7c79",
            HmacHex(Bytes{'J', 'e', 'f', 'e'}, "what do ya want for nothing?"));
  EXPECT_EQ("125d7342b9ac11cd91a39af48aa17b4f63f175d3",
            HmacHex(Bytes(20, 0xaa), std::string(50, '\xdd')));
  Bytes key4;
  for (int i = 1; i <= 25; ++i) key4.push_back(static_cast<uint8_t>(i));
  EXPECT_EQ("4c9007f4026250c6bc8414f9bf50c86c2d7235da", HmacHex(key4, std::string(50, '\xcd')));
  EXPECT_EQ("4c1a03424b55e07fe7f27be1", HmacHex(Bytes(20, 0x0c), "Test With Truncation", 12));
  EXPECT_EQ("aa4ae5e15272d00e95705637ce8a3b55ed402112",
            HmacHex(Bytes(80, 0xaa), "Test Using Larger Than Block-Size Key - Hash Key First"));
  // Any split of the data gives the same code.
  for (size_t piece : {1u, 7u, 64u})
    EXPECT_EQ("e8e99d0f45237d786d6bbaa7965c7808bbff1a91",
              HmacHex(Bytes(80, 0xaa), "Test Using Larger Than Block-Size Key and Larger Than One Block-Size Data",
                      20, piece));
  CHmacSha1 unstarted;
  uint8_t d[20];
  EXPECT_FALSE(unstarted.Update("x", 1));
  EXPECT_EQ(0, unstarted.Final(d, 20));
}

TEST(Pbkdf2, Rfc6070Vectors) {
  EXPECT_EQ("0c60c80f961f0e71f3a9b524af6012062fe037a6", Pbkdf2Hex("password", "salt", 1, 20));
  EXPECT_EQ("ea6c014dc72d6f8ccd1ed92ace1d41f0d8de8957", Pbkdf2Hex("password", "salt", 2, 20));
  EXPECT_EQ("4b007901b765489abead49d926f721d065a429c1", Pbkdf2Hex("password", "salt", 4096, 20));
  EXPECT_EQ("3d2eec4fe41c849b80c8d83662c0e44a8b291a964cf2f07038",
            Pbkdf2Hex("passwordPASSWORDpassword", "saltSALTsaltSALTsaltSALTsaltSALTsalt", 4096, 25));
  EXPECT_EQ("56fa6aa75548099dcc37d7f03425e0c3",
            Pbkdf2Hex(std::string("pass\0word", 9), std::string("sa\0lt", 5), 4096, 16));
}

// ---------------------------------------------------------------- WinZip AES

// The stored data of an AES entry (salt, verifier, encrypted data, code) built with the
// encryption side of the context.
Bytes BuildAesRecord(int strength, const std::string &password, const Bytes &salt,
                     const std::string &plain) {
  ZipAesContext ctx;
  uint8_t verifier[2];
  EXPECT_EQ(0, ZipAesInit(&ctx, strength, password.data(), static_cast<int>(password.size()),
                          salt.data(), verifier));
  Bytes out(salt);
  out.push_back(verifier[0]);
  out.push_back(verifier[1]);
  Bytes data(plain.begin(), plain.end());
  if (!data.empty()) ZipAesEncrypt(data.data(), static_cast<uint32_t>(data.size()), &ctx);
  out.insert(out.end(), data.begin(), data.end());
  uint8_t mac[10];
  EXPECT_EQ(10, ZipAesMacEnd(&ctx, mac));
  out.insert(out.end(), mac, mac + 10);
  return out;
}

// Runs the filter over a record as the archive does, in reads of at most piece bytes;
// -> the plain bytes, or "FAIL" when a read failed, "FAIL<n>" with the bytes delivered before.
std::string DecodeRecord(int strength, const std::string &password, const Bytes &record,
                         size_t piece, size_t cut = 0) {
  ZipAesContext ctx;
  int h = ZipAesHeaderSize(strength);
  uint8_t verifier[2];
  EXPECT_EQ(0, ZipAesInit(&ctx, strength, password.data(), static_cast<int>(password.size()),
                          record.data(), verifier));
  if (memcmp(verifier, record.data() + h - 2, 2) != 0) return "WRONG";
  ctx.dataLimit = record.size() - 11;
  ctx.position = static_cast<uint64_t>(h);
  size_t end = record.size() - cut;
  std::string out;
  for (size_t at = h;;) {
    size_t n = std::min(piece, end - at);
    std::vector<uint8_t> buf(record.begin() + at, record.begin() + at + n);
    buf.resize(std::max<size_t>(n, 1));
    int32_t got = ZipAesDecodeFilter(&ctx, buf.data(), static_cast<int32_t>(n));
    if (got < 0) return "FAIL" + std::to_string(out.size());
    out.append(reinterpret_cast<char *>(buf.data()), got);
    at += n;
    if (n == 0) break;
  }
  return out;
}

TEST(ZipAes, MatchesAnIndependentlyBuiltRecord) {
  // Strength 3, password "Geheim", salt 00..0F: values from Python's hashlib and AES-ECB.
  Bytes salt;
  for (int i = 0; i < 16; ++i) salt.push_back(static_cast<uint8_t>(i));
  std::string plain;
  for (int i = 0; i < 3; ++i) plain += "Hallo Welt!\n";
  Bytes rec = BuildAesRecord(3, "Geheim", salt, plain);
  ASSERT_EQ(16u + 2 + plain.size() + 10, rec.size());
  EXPECT_EQ("c3a0", ToHex(rec.data() + 16, 2));
  EXPECT_EQ("2a3d338ded8b43f6e4ed2b6fd270aeb9818ba0a2cd3fe09290e049b5b9ef709f7d1d00b2",
            ToHex(rec.data() + 18, plain.size()));
  EXPECT_EQ("5649b4b837c8c40caac2", ToHex(rec.data() + 18 + plain.size(), 10));
}

TEST(ZipAes, AnySplitOfReadsGivesTheSameBytes) {
  std::string plain;
  for (int i = 0; i < 2000; ++i) plain += static_cast<char>('A' + i % 23);
  for (int strength = 1; strength <= 3; ++strength) {
    Bytes salt(ZipAesSaltSize(strength), static_cast<uint8_t>(0x40 + strength));
    Bytes rec = BuildAesRecord(strength, "pw", salt, plain);
    for (size_t piece : {1u, 2u, 10u, 11u, 12u, 13u, 16u, 100u, 16384u})
      EXPECT_EQ(plain, DecodeRecord(strength, "pw", rec, piece)) << strength << "/" << piece;
    EXPECT_EQ("WRONG", DecodeRecord(strength, "Pw", rec, 16384));
  }
}

TEST(ZipAes, LastByteOnlyWithTheCompletedCode) {
  Bytes salt(16, 7);
  Bytes rec = BuildAesRecord(3, "x", salt, "abcdef");
  ZipAesContext ctx;
  uint8_t verifier[2];
  ZipAesInit(&ctx, 3, "x", 1, salt.data(), verifier);
  ctx.dataLimit = rec.size() - 11;
  ctx.position = 18;
  // Data and the first tail bytes: only the data before the last byte comes out.
  Bytes buf(rec.begin() + 18, rec.begin() + 18 + 10);
  EXPECT_EQ(5, ZipAesDecodeFilter(&ctx, buf.data(), 10));
  EXPECT_EQ("abcde", std::string(buf.begin(), buf.begin() + 5));
  // Tail bytes alone without completing the tail: nothing yet.
  buf.assign(rec.begin() + 28, rec.begin() + 30);
  EXPECT_EQ(0, ZipAesDecodeFilter(&ctx, buf.data(), 2));
  buf.assign(rec.begin() + 30, rec.end());
  EXPECT_EQ(1, ZipAesDecodeFilter(&ctx, buf.data(), static_cast<int32_t>(buf.size())));
  EXPECT_EQ('f', buf[0]);
  EXPECT_EQ(1, ctx.verified);
  EXPECT_EQ(0, ZipAesDecodeFilter(&ctx, buf.data(), 0));
}

TEST(ZipAes, AlteredCodeFailsTheLastRead) {
  Bytes salt(8, 1);
  std::string plain(5000, 'q');
  Bytes rec = BuildAesRecord(1, "pw", salt, plain);
  rec[rec.size() - 3] ^= 0x20;
  EXPECT_EQ("FAIL4999", DecodeRecord(1, "pw", rec, 1000));
  // Altered data also fails the check.
  rec = BuildAesRecord(1, "pw", salt, plain);
  rec[100] ^= 1;
  EXPECT_EQ(0u, DecodeRecord(1, "pw", rec, 16384).find("FAIL"));
}

TEST(ZipAes, TruncatedTailFails) {
  Bytes salt(12, 3);
  Bytes rec = BuildAesRecord(2, "pw", salt, "some data");
  // The source ends 4 bytes early: the end (a read of 0) inside the tail is a failure.
  for (size_t cut : {1u, 4u, 10u, 11u})
    EXPECT_EQ(0u, DecodeRecord(2, "pw", rec, 16384, cut).find("FAIL")) << cut;
}

TEST(ZipAes, EntryWithoutData) {
  Bytes salt(16, 9);
  Bytes rec = BuildAesRecord(3, "pw", salt, "");
  ASSERT_EQ(28u, rec.size());
  EXPECT_EQ("", DecodeRecord(3, "pw", rec, 16384));
  EXPECT_EQ("", DecodeRecord(3, "pw", rec, 1));
  rec[27] ^= 1;
  EXPECT_EQ("FAIL0", DecodeRecord(3, "pw", rec, 16384));
}

TEST(ZipAes, PasswordAndStrengthLimits) {
  ZipAesContext ctx;
  uint8_t salt[16] = {}, verifier[2];
  std::string pw128(128, 'p'), pw129(129, 'p');
  EXPECT_EQ(0, ZipAesInit(&ctx, 3, pw128.data(), 128, salt, verifier));
  EXPECT_EQ(ZIPAES_E_PASSWORD, ZipAesInit(&ctx, 3, pw129.data(), 129, salt, verifier));
  EXPECT_EQ(ZIPAES_E_STRENGTH, ZipAesInit(&ctx, 0, "p", 1, salt, verifier));
  EXPECT_EQ(ZIPAES_E_STRENGTH, ZipAesInit(&ctx, 4, "p", 1, salt, verifier));
}

TEST(ZipAes, CounterCarriesAcrossBlocksAndCalls) {
  // 1 MiB in odd pieces equals one call: the counter and key-stream position carry over.
  Bytes salt(8, 5);
  ZipAesContext a, b;
  uint8_t v[2];
  ZipAesInit(&a, 1, "k", 1, salt.data(), v);
  ZipAesInit(&b, 1, "k", 1, salt.data(), v);
  Bytes x(1 << 20, 0), y(1 << 20, 0);
  ZipAesCrypt(&a, x.data(), static_cast<uint32_t>(x.size()));
  for (size_t at = 0; at < y.size(); at += 333)
    ZipAesCrypt(&b, y.data() + at, static_cast<uint32_t>(std::min<size_t>(333, y.size() - at)));
  EXPECT_TRUE(x == y);
  // The first key-stream block is AES(counter 1).
  uint8_t ctr[16] = {1};
  ASSERT_TRUE(a.aes.EncryptBlocks(ctr, ctr, 1));
  EXPECT_EQ(0, memcmp(ctr, x.data(), 16));
}

// ---------------------------------------------------------------- traditional

TEST(ZipCrypt, RoundTripAndHeaderCheck) {
  ZipCryptKeys enc, dec;
  ZipCryptInitKeys(&enc, "secret");
  ZipCryptInitKeys(&dec, "secret");
  uint8_t header[12] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 0x34, 0x12};
  std::string data = "Die Daten hinter dem Kopf.";
  Bytes all(header, header + 12);
  all.insert(all.end(), data.begin(), data.end());
  ZipCryptEncode(&enc, all.data(), static_cast<int32_t>(all.size()));
  EXPECT_NE(0, memcmp(all.data() + 12, data.data(), data.size()));
  // Decoded in two reads: the keys carry over.
  EXPECT_EQ(12, ZipCryptDecode(&dec, all.data(), 12));
  EXPECT_TRUE(ZipCryptCheckHeader(all.data(), 0x1234));
  EXPECT_TRUE(ZipCryptCheckHeader(all.data(), 0x12FF));   // the high byte alone
  EXPECT_FALSE(ZipCryptCheckHeader(all.data(), 0x1334));
  EXPECT_EQ(static_cast<int32_t>(data.size()),
            ZipCryptDecode(&dec, all.data() + 12, static_cast<int32_t>(data.size())));
  EXPECT_EQ(data, std::string(all.begin() + 12, all.end()));
}

TEST(ZipCrypt, KnownKeysOfThePassword) {
  // Keys after "abc", worked out from the key update of the application note in Python.
  ZipCryptKeys k;
  ZipCryptInitKeys(&k, "");
  EXPECT_EQ(0x12345678u, k.key[0]);
  EXPECT_EQ(0x23456789u, k.key[1]);
  EXPECT_EQ(0x34567890u, k.key[2]);
  ZipCryptInitKeys(&k, "abc");
  char buf[9];
  snprintf(buf, sizeof buf, "%08x", k.key[0]);
  EXPECT_STREQ("5dd2af4d", buf);
  snprintf(buf, sizeof buf, "%08x", k.key[1]);
  EXPECT_STREQ("589d03b4", buf);
  snprintf(buf, sizeof buf, "%08x", k.key[2]);
  EXPECT_STREQ("3cf5ffa4", buf);
}

}  // namespace

// AES: S-boxes and round tables derived at compile time from GF(2^8) arithmetic, key
// expansion and the (equivalent inverse) cipher rounds.
#include "zip/Aes.h"

#include "zip/BigEndian.h"

namespace {

constexpr uint8_t XTime(uint8_t x) {
  return static_cast<uint8_t>((x << 1) ^ ((x & 0x80) ? 0x1B : 0));
}

constexpr uint8_t GfMul(uint8_t a, uint8_t b) {
  uint8_t r = 0;
  while (b) {
    if (b & 1) r ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return r;
}

constexpr uint8_t Rotl8(uint8_t x, int n) {
  return static_cast<uint8_t>((x << n) | (x >> (8 - n)));
}

struct Tables {
  uint8_t sbox[256];
  uint8_t inv[256];
  uint32_t enc[256];  // column of MixColumns over S: (2s, s, s, 3s)
  uint32_t dec[256];  // column of InvMixColumns over S^-1: (14i, 9i, 13i, 11i)
};

constexpr Tables MakeTables() {
  Tables t{};
  // S(x) = affine(x^-1): walk the field by the generator 3 and its inverse together.
  uint8_t p = 1, q = 1;
  do {
    p = static_cast<uint8_t>(p ^ XTime(p));  // p * 3
    q = static_cast<uint8_t>(q ^ (q << 1));  // q / 3
    q = static_cast<uint8_t>(q ^ (q << 2));
    q = static_cast<uint8_t>(q ^ (q << 4));
    if (q & 0x80) q ^= 0x09;
    uint8_t s = static_cast<uint8_t>(q ^ Rotl8(q, 1) ^ Rotl8(q, 2) ^ Rotl8(q, 3) ^ Rotl8(q, 4));
    t.sbox[p] = static_cast<uint8_t>(s ^ 0x63);
  } while (p != 1);
  t.sbox[0] = 0x63;
  for (int i = 0; i < 256; ++i) t.inv[t.sbox[i]] = static_cast<uint8_t>(i);
  for (int i = 0; i < 256; ++i) {
    uint8_t s = t.sbox[i], v = t.inv[i];
    t.enc[i] = static_cast<uint32_t>(GfMul(s, 2)) << 24 | static_cast<uint32_t>(s) << 16 |
               static_cast<uint32_t>(s) << 8 | GfMul(s, 3);
    t.dec[i] = static_cast<uint32_t>(GfMul(v, 14)) << 24 | static_cast<uint32_t>(GfMul(v, 9)) << 16 |
               static_cast<uint32_t>(GfMul(v, 13)) << 8 | GfMul(v, 11);
  }
  return t;
}

constexpr Tables kT = MakeTables();
static_assert(kT.sbox[0x00] == 0x63 && kT.sbox[0x01] == 0x7C && kT.sbox[0x53] == 0xED &&
                  kT.sbox[0xFF] == 0x16,
              "AES S-box");

inline uint32_t Ror(uint32_t x, int n) { return (x >> n) | (x << (32 - n)); }

inline uint32_t SubWord(uint32_t w) {
  return static_cast<uint32_t>(kT.sbox[w >> 24]) << 24 |
         static_cast<uint32_t>(kT.sbox[(w >> 16) & 0xFF]) << 16 |
         static_cast<uint32_t>(kT.sbox[(w >> 8) & 0xFF]) << 8 | kT.sbox[w & 0xFF];
}

int Rounds(const AesSchedule *schedule) {
  switch (schedule->rounds16) {
    case 160: return 10;
    case 192: return 12;
    case 224: return 14;
    default: return 0;
  }
}

// FIPS 197 key expansion for nk words of key.
int ExpandKey(const uint8_t *key, int nk, AesSchedule *schedule) {
  int rounds = nk + 6;
  int total = 4 * (rounds + 1);
  uint32_t *w = schedule->roundKeys;
  for (int i = 0; i < nk; ++i) w[i] = LoadBe32(key + 4 * i);
  uint8_t rcon = 1;
  for (int i = nk; i < total; ++i) {
    uint32_t temp = w[i - 1];
    if (i % nk == 0) {
      temp = SubWord((temp << 8) | (temp >> 24)) ^ static_cast<uint32_t>(rcon) << 24;
      rcon = XTime(rcon);
    } else if (nk > 6 && i % nk == 4) {
      temp = SubWord(temp);
    }
    w[i] = w[i - nk] ^ temp;
  }
  for (int i = total; i < 60; ++i) w[i] = 0;
  schedule->rounds16 = static_cast<uint8_t>(16 * rounds);
  return 0;
}

// Round keys for the equivalent inverse cipher: reversed, inner ones through InvMixColumns.
int InvertSchedule(AesSchedule *schedule) {
  int rounds = Rounds(schedule);
  uint32_t *w = schedule->roundKeys;
  for (int i = 0, j = 4 * rounds; i < j; i += 4, j -= 4)
    for (int k = 0; k < 4; ++k) {
      uint32_t t = w[i + k];
      w[i + k] = w[j + k];
      w[j + k] = t;
    }
  for (int i = 4; i < 4 * rounds; ++i) {
    uint32_t x = w[i];
    // dec[] includes S^-1; feeding S(b) cancels it and leaves InvMixColumns alone.
    w[i] = kT.dec[kT.sbox[x >> 24]] ^ Ror(kT.dec[kT.sbox[(x >> 16) & 0xFF]], 8) ^
           Ror(kT.dec[kT.sbox[(x >> 8) & 0xFF]], 16) ^ Ror(kT.dec[kT.sbox[x & 0xFF]], 24);
  }
  return 0;
}

int NkFor(int length) {
  switch (length) {
    case 16: case 128: return 4;
    case 24: case 192: return 6;
    case 32: case 256: return 8;
    default: return 0;
  }
}

}  // namespace

int AesEncryptKey128(const uint8_t *key, AesSchedule *schedule) { return ExpandKey(key, 4, schedule); }
int AesEncryptKey192(const uint8_t *key, AesSchedule *schedule) { return ExpandKey(key, 6, schedule); }
int AesEncryptKey256(const uint8_t *key, AesSchedule *schedule) { return ExpandKey(key, 8, schedule); }

int AesEncryptKey(const uint8_t *key, int length, AesSchedule *schedule) {
  switch (NkFor(length)) {
    case 4: return AesEncryptKey128(key, schedule);
    case 6: return AesEncryptKey192(key, schedule);
    case 8: return AesEncryptKey256(key, schedule);
    default: schedule->rounds16 = 0; return 1;
  }
}

int AesDecryptKey128(const uint8_t *key, AesSchedule *schedule) {
  ExpandKey(key, 4, schedule);
  return InvertSchedule(schedule);
}
int AesDecryptKey192(const uint8_t *key, AesSchedule *schedule) {
  ExpandKey(key, 6, schedule);
  return InvertSchedule(schedule);
}
int AesDecryptKey256(const uint8_t *key, AesSchedule *schedule) {
  ExpandKey(key, 8, schedule);
  return InvertSchedule(schedule);
}

int AesDecryptKey(const uint8_t *key, int length, AesSchedule *schedule) {
  switch (NkFor(length)) {
    case 4: return AesDecryptKey128(key, schedule);
    case 6: return AesDecryptKey192(key, schedule);
    case 8: return AesDecryptKey256(key, schedule);
    default: schedule->rounds16 = 0; return 1;
  }
}

int AesEncryptBlock(const uint8_t *in, uint8_t *out, const AesSchedule *schedule) {
  int rounds = Rounds(schedule);
  if (!rounds) return 1;
  const uint32_t *rk = schedule->roundKeys;
  const uint32_t *te = kT.enc;
  uint32_t s0 = LoadBe32(in) ^ rk[0], s1 = LoadBe32(in + 4) ^ rk[1];
  uint32_t s2 = LoadBe32(in + 8) ^ rk[2], s3 = LoadBe32(in + 12) ^ rk[3];
  for (int r = 1; r < rounds; ++r) {
    rk += 4;
    uint32_t t0 = te[s0 >> 24] ^ Ror(te[(s1 >> 16) & 0xFF], 8) ^ Ror(te[(s2 >> 8) & 0xFF], 16) ^
                  Ror(te[s3 & 0xFF], 24) ^ rk[0];
    uint32_t t1 = te[s1 >> 24] ^ Ror(te[(s2 >> 16) & 0xFF], 8) ^ Ror(te[(s3 >> 8) & 0xFF], 16) ^
                  Ror(te[s0 & 0xFF], 24) ^ rk[1];
    uint32_t t2 = te[s2 >> 24] ^ Ror(te[(s3 >> 16) & 0xFF], 8) ^ Ror(te[(s0 >> 8) & 0xFF], 16) ^
                  Ror(te[s1 & 0xFF], 24) ^ rk[2];
    uint32_t t3 = te[s3 >> 24] ^ Ror(te[(s0 >> 16) & 0xFF], 8) ^ Ror(te[(s1 >> 8) & 0xFF], 16) ^
                  Ror(te[s2 & 0xFF], 24) ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  const uint8_t *sb = kT.sbox;
  auto last = [sb](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return static_cast<uint32_t>(sb[a >> 24]) << 24 | static_cast<uint32_t>(sb[(b >> 16) & 0xFF]) << 16 |
           static_cast<uint32_t>(sb[(c >> 8) & 0xFF]) << 8 | sb[d & 0xFF];
  };
  StoreBe32(out, last(s0, s1, s2, s3) ^ rk[0]);
  StoreBe32(out + 4, last(s1, s2, s3, s0) ^ rk[1]);
  StoreBe32(out + 8, last(s2, s3, s0, s1) ^ rk[2]);
  StoreBe32(out + 12, last(s3, s0, s1, s2) ^ rk[3]);
  return 0;
}

int AesDecryptBlock(const uint8_t *in, uint8_t *out, const AesSchedule *schedule) {
  int rounds = Rounds(schedule);
  if (!rounds) return 1;
  const uint32_t *rk = schedule->roundKeys;
  const uint32_t *td = kT.dec;
  uint32_t s0 = LoadBe32(in) ^ rk[0], s1 = LoadBe32(in + 4) ^ rk[1];
  uint32_t s2 = LoadBe32(in + 8) ^ rk[2], s3 = LoadBe32(in + 12) ^ rk[3];
  for (int r = 1; r < rounds; ++r) {
    rk += 4;
    uint32_t t0 = td[s0 >> 24] ^ Ror(td[(s3 >> 16) & 0xFF], 8) ^ Ror(td[(s2 >> 8) & 0xFF], 16) ^
                  Ror(td[s1 & 0xFF], 24) ^ rk[0];
    uint32_t t1 = td[s1 >> 24] ^ Ror(td[(s0 >> 16) & 0xFF], 8) ^ Ror(td[(s3 >> 8) & 0xFF], 16) ^
                  Ror(td[s2 & 0xFF], 24) ^ rk[1];
    uint32_t t2 = td[s2 >> 24] ^ Ror(td[(s1 >> 16) & 0xFF], 8) ^ Ror(td[(s0 >> 8) & 0xFF], 16) ^
                  Ror(td[s3 & 0xFF], 24) ^ rk[2];
    uint32_t t3 = td[s3 >> 24] ^ Ror(td[(s2 >> 16) & 0xFF], 8) ^ Ror(td[(s1 >> 8) & 0xFF], 16) ^
                  Ror(td[s0 & 0xFF], 24) ^ rk[3];
    s0 = t0;
    s1 = t1;
    s2 = t2;
    s3 = t3;
  }
  rk += 4;
  const uint8_t *si = kT.inv;
  auto last = [si](uint32_t a, uint32_t b, uint32_t c, uint32_t d) {
    return static_cast<uint32_t>(si[a >> 24]) << 24 | static_cast<uint32_t>(si[(b >> 16) & 0xFF]) << 16 |
           static_cast<uint32_t>(si[(c >> 8) & 0xFF]) << 8 | si[d & 0xFF];
  };
  StoreBe32(out, last(s0, s3, s2, s1) ^ rk[0]);
  StoreBe32(out + 4, last(s1, s0, s3, s2) ^ rk[1]);
  StoreBe32(out + 8, last(s2, s1, s0, s3) ^ rk[2]);
  StoreBe32(out + 12, last(s3, s2, s1, s0) ^ rk[3]);
  return 0;
}

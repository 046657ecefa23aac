// SHA-1, HMAC-SHA1 and PBKDF2-HMAC-SHA1.
#include "zip/Sha1.h"

#include <cstring>

#include "zip/BigEndian.h"

namespace {

inline uint32_t Rol(uint32_t x, int n) { return (x << n) | (x >> (32 - n)); }

void Compress(uint32_t *h, const uint8_t *block) {
  uint32_t w[80];
  for (int i = 0; i < 16; ++i) w[i] = LoadBe32(block + 4 * i);
  for (int i = 16; i < 80; ++i) w[i] = Rol(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);
  uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4];
  for (int i = 0; i < 80; ++i) {
    uint32_t f, k;
    if (i < 20) {
      f = (b & c) | (~b & d);
      k = 0x5A827999u;
    } else if (i < 40) {
      f = b ^ c ^ d;
      k = 0x6ED9EBA1u;
    } else if (i < 60) {
      f = (b & c) | (b & d) | (c & d);
      k = 0x8F1BBCDCu;
    } else {
      f = b ^ c ^ d;
      k = 0xCA62C1D6u;
    }
    uint32_t t = Rol(a, 5) + f + e + k + w[i];
    e = d;
    d = c;
    c = Rol(b, 30);
    b = a;
    a = t;
  }
  h[0] += a;
  h[1] += b;
  h[2] += c;
  h[3] += d;
  h[4] += e;
}

const uint32_t kKeyStarted = 0xFFFFFFFFu;

// Turns the gathered key into the inner pad and hashes it as the first inner block.
void StartInner(HmacSha1State *state) {
  if (state->keyLength == kKeyStarted) return;
  if (state->keyLength > SHA1_BLOCK_SIZE) {
    uint8_t digest[SHA1_DIGEST_SIZE];
    Sha1Final(&state->sha, digest);
    std::memset(state->key, 0, sizeof state->key);
    std::memcpy(state->key, digest, sizeof digest);
  } else {
    std::memset(state->key + state->keyLength, 0, SHA1_BLOCK_SIZE - state->keyLength);
  }
  for (int i = 0; i < SHA1_BLOCK_SIZE; ++i) state->key[i] ^= 0x36;
  Sha1Init(&state->sha);
  Sha1Update(&state->sha, state->key, SHA1_BLOCK_SIZE);
  state->keyLength = kKeyStarted;
}

}  // namespace

void Sha1Init(Sha1State *state) {
  state->count[0] = state->count[1] = 0;
  state->hash[0] = 0x67452301u;
  state->hash[1] = 0xEFCDAB89u;
  state->hash[2] = 0x98BADCFEu;
  state->hash[3] = 0x10325476u;
  state->hash[4] = 0xC3D2E1F0u;
}

void Sha1Update(Sha1State *state, const void *data, uint32_t length) {
  const uint8_t *p = static_cast<const uint8_t *>(data);
  uint32_t used = state->count[0] & (SHA1_BLOCK_SIZE - 1);
  state->count[0] += length;
  if (state->count[0] < length) ++state->count[1];
  if (used) {
    uint32_t take = SHA1_BLOCK_SIZE - used;
    if (take > length) take = length;
    std::memcpy(state->block + used, p, take);
    p += take;
    length -= take;
    if (used + take < SHA1_BLOCK_SIZE) return;
    Compress(state->hash, state->block);
  }
  for (; length >= SHA1_BLOCK_SIZE; p += SHA1_BLOCK_SIZE, length -= SHA1_BLOCK_SIZE)
    Compress(state->hash, p);
  if (length) std::memcpy(state->block, p, length);
}

int Sha1Final(Sha1State *state, uint8_t *out) {
  uint32_t used = state->count[0] & (SHA1_BLOCK_SIZE - 1);
  uint64_t bits = (static_cast<uint64_t>(state->count[1]) << 32 | state->count[0]) << 3;
  state->block[used++] = 0x80;
  if (used > SHA1_BLOCK_SIZE - 8) {
    std::memset(state->block + used, 0, SHA1_BLOCK_SIZE - used);
    Compress(state->hash, state->block);
    used = 0;
  }
  std::memset(state->block + used, 0, SHA1_BLOCK_SIZE - 8 - used);
  StoreBe32(state->block + 56, static_cast<uint32_t>(bits >> 32));
  StoreBe32(state->block + 60, static_cast<uint32_t>(bits));
  Compress(state->hash, state->block);
  for (int i = 0; i < 5; ++i) StoreBe32(out + 4 * i, state->hash[i]);
  return SHA1_DIGEST_SIZE;
}

void Sha1Digest(uint8_t *out, const void *data, uint32_t length) {
  Sha1State state;
  Sha1Init(&state);
  Sha1Update(&state, data, length);
  Sha1Final(&state, out);
}

int HmacSha1Begin(HmacSha1State *state) {
  std::memset(state, 0, sizeof *state);
  return 0;
}

int HmacSha1Key(HmacSha1State *state, const void *key, uint32_t length) {
  if (state->keyLength == kKeyStarted) return -1;
  uint32_t have = state->keyLength;
  if (have + length > SHA1_BLOCK_SIZE) {
    // Too long for the block: from now on the key is hashed.
    if (have <= SHA1_BLOCK_SIZE) {
      Sha1Init(&state->sha);
      Sha1Update(&state->sha, state->key, have);
    }
    Sha1Update(&state->sha, key, length);
  } else if (length) {
    std::memcpy(state->key + have, key, length);
  }
  state->keyLength = have + length;
  return 0;
}

void HmacSha1Data(HmacSha1State *state, const void *data, uint32_t length) {
  StartInner(state);
  Sha1Update(&state->sha, data, length);
}

int HmacSha1End(HmacSha1State *state, uint8_t *out, int length) {
  StartInner(state);
  uint8_t digest[SHA1_DIGEST_SIZE];
  Sha1Final(&state->sha, digest);
  // The inner pad XOR 0x6A is the outer pad (0x36 ^ 0x6A == 0x5C).
  for (int i = 0; i < SHA1_BLOCK_SIZE; ++i) state->key[i] ^= 0x6A;
  Sha1Init(&state->sha);
  Sha1Update(&state->sha, state->key, SHA1_BLOCK_SIZE);
  Sha1Update(&state->sha, digest, SHA1_DIGEST_SIZE);
  Sha1Final(&state->sha, digest);
  if (length > SHA1_DIGEST_SIZE) length = SHA1_DIGEST_SIZE;
  if (length < 0) length = 0;
  std::memcpy(out, digest, length);
  return length;
}

void HmacSha1(const void *key, uint32_t keyLength, const void *data, uint32_t dataLength,
              uint8_t *out, int outLength) {
  HmacSha1State state;
  HmacSha1Begin(&state);
  HmacSha1Key(&state, key, keyLength);
  HmacSha1Data(&state, data, dataLength);
  HmacSha1End(&state, out, outLength);
}

int Pbkdf2HmacSha1(const void *password, uint32_t passwordLength, const void *salt,
                   uint32_t saltLength, uint32_t iterations, uint8_t *out, uint32_t outLength) {
  if (outLength < 1) return 0;
  // Keyed once; every iteration starts from a copy instead of keying again.
  HmacSha1State keyed, salted;
  HmacSha1Begin(&keyed);
  HmacSha1Key(&keyed, password, passwordLength);
  StartInner(&keyed);
  salted = keyed;
  HmacSha1Data(&salted, salt, saltLength);
  int blocks = static_cast<int>((outLength - 1) / SHA1_DIGEST_SIZE + 1);
  for (int i = 1; i <= blocks; ++i) {
    uint8_t u[SHA1_DIGEST_SIZE], t[SHA1_DIGEST_SIZE], index[4];
    StoreBe32(index, static_cast<uint32_t>(i));
    HmacSha1State h = salted;
    HmacSha1Data(&h, index, 4);
    HmacSha1End(&h, u, SHA1_DIGEST_SIZE);
    std::memcpy(t, u, sizeof t);
    for (uint32_t k = 1; k < iterations; ++k) {
      h = keyed;
      HmacSha1Data(&h, u, SHA1_DIGEST_SIZE);
      HmacSha1End(&h, u, SHA1_DIGEST_SIZE);
      for (int j = 0; j < SHA1_DIGEST_SIZE; ++j) t[j] ^= u[j];
    }
    uint32_t at = static_cast<uint32_t>(i - 1) * SHA1_DIGEST_SIZE;
    uint32_t n = outLength - at < SHA1_DIGEST_SIZE ? outLength - at : SHA1_DIGEST_SIZE;
    std::memcpy(out + at, t, n);
  }
  return blocks;
}

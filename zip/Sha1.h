// SHA-1 (FIPS 180), HMAC-SHA1 (RFC 2104) and PBKDF2 with HMAC-SHA1 (RFC 2898): the hashing
// under the WinZip AES key derivation and authentication of encrypted zip entries.
#pragma once
#include <cstdint>

const int SHA1_DIGEST_SIZE = 20;
const int SHA1_BLOCK_SIZE = 64;

struct Sha1State {
  uint32_t count[2];    // bytes hashed so far, low word first
  uint32_t hash[5];
  uint8_t block[SHA1_BLOCK_SIZE];
};

// Starts a hash. Never fails.
void Sha1Init(Sha1State *state);
// Adds length bytes of data (any split gives the same digest).
void Sha1Update(Sha1State *state, const void *data, uint32_t length);
// Writes the 20-byte digest; the state must be started again before reuse. -> 20.
int Sha1Final(Sha1State *state, uint8_t *out);
// One-shot digest of data. (Nothing in the archive calls it.)
void Sha1Digest(uint8_t *out, const void *data, uint32_t length);

// HMAC-SHA1. The key is gathered in the key block (a key longer than 64 bytes is hashed);
// the first data (or the end) turns it into the inner pad; keyLength is then all ones.
struct HmacSha1State {
  uint8_t key[SHA1_BLOCK_SIZE];
  Sha1State sha;
  uint32_t keyLength;
};

// Zeroes the state: an empty key and no data yet. -> 0.
int HmacSha1Begin(HmacSha1State *state);
// Adds key bytes (several calls append). -> 0; -1 (nothing changed) once data was added.
int HmacSha1Key(HmacSha1State *state, const void *key, uint32_t length);
// Adds message bytes.
void HmacSha1Data(HmacSha1State *state, const void *data, uint32_t length);
// Writes the first length (1..20, clamped) bytes of the code. -> the count written.
int HmacSha1End(HmacSha1State *state, uint8_t *out, int length);
// One-shot form. (Nothing in the archive calls it.)
void HmacSha1(const void *key, uint32_t keyLength, const void *data, uint32_t dataLength,
              uint8_t *out, int outLength);

// PBKDF2 (RFC 2898) with HMAC-SHA1: derives outLength bytes from password and salt.
// -> the number of 20-byte blocks made ((outLength - 1) / 20 + 1; 0 for outLength < 1).
int Pbkdf2HmacSha1(const void *password, uint32_t passwordLength, const void *salt,
                   uint32_t saltLength, uint32_t iterations, uint8_t *out, uint32_t outLength);

// AES (FIPS 197) block cipher with 128, 192 and 256-bit keys, table-driven: the cipher under
// the counter mode of WinZip AES entries.
#pragma once
#include <cstdint>

const int AES_BLOCK_SIZE = 16;

// Round keys of one direction: room for 15 round keys of four words, then 16 x rounds
// (160, 192 or 224 for 10, 12 or 14 rounds; anything else marks the schedule invalid).
struct AesSchedule {
  uint32_t roundKeys[60];
  uint8_t rounds16;
};

// Expands a key for encryption. length in bytes (16, 24, 32) or bits (128, 192, 256).
// -> 0; 1 for any other length (the schedule is then marked invalid).
int AesEncryptKey(const uint8_t *key, int length, AesSchedule *schedule);
int AesEncryptKey128(const uint8_t *key, AesSchedule *schedule);
int AesEncryptKey192(const uint8_t *key, AesSchedule *schedule);
int AesEncryptKey256(const uint8_t *key, AesSchedule *schedule);
// Encrypts one 16-byte block (in and out may be the same). -> 0; 1 when the schedule holds
// no valid round count.
int AesEncryptBlock(const uint8_t *in, uint8_t *out, const AesSchedule *schedule);

// The inverse cipher's schedule and block. (Counter mode needs only encryption; the archive
// does not call these.)
int AesDecryptKey(const uint8_t *key, int length, AesSchedule *schedule);
int AesDecryptKey128(const uint8_t *key, AesSchedule *schedule);
int AesDecryptKey192(const uint8_t *key, AesSchedule *schedule);
int AesDecryptKey256(const uint8_t *key, AesSchedule *schedule);
int AesDecryptBlock(const uint8_t *in, uint8_t *out, const AesSchedule *schedule);

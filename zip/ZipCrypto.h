// Decryption of encrypted zip entries: the traditional PKWARE stream cipher and WinZip AES
// (AE-1/AE-2: AES in counter mode, keys from PBKDF2-HMAC-SHA1, an HMAC-SHA1 code behind the
// data). Both plug into a codec's source as read filters.
#pragma once
#include <cstdint>

#include "zip/WinCrypto.h"

// ----- traditional encryption ----------------------------------------------------------------

const int ZIPCRYPT_HEADER_SIZE = 12;

struct ZipCryptKeys {
  uint32_t key[3];
};

// Sets the keys from the password (bytes up to the NUL).
void ZipCryptInitKeys(ZipCryptKeys *keys, const char *password);
// Decrypts count bytes in place, carrying the keys on. Read filter: context is the
// ZipCryptKeys. -> count.
int32_t ZipCryptDecode(void *keys, void *buffer, int32_t count);
// Encrypts count bytes in place (for building test data; the archive never encrypts).
void ZipCryptEncode(ZipCryptKeys *keys, void *buffer, int32_t count);
// Checks a decrypted 12-byte header against the check value (the DOS time when the entry has
// a data descriptor, else the high word of its CRC): the last two bytes equal it, or the last
// byte equals its high byte. -> true when the header passes.
bool ZipCryptCheckHeader(const uint8_t *header, uint16_t check);

// ----- WinZip AES ------------------------------------------------------------------------------

const int ZIPAES_MAC_SIZE = 10;
const int ZIPAES_VERIFIER_SIZE = 2;
const int ZIPAES_MAX_PASSWORD = 128;
const int ZIPAES_ITERATIONS = 1000;

// Results of ZipAesInit.
enum { ZIPAES_E_PASSWORD = -100, ZIPAES_E_STRENGTH = -101, ZIPAES_E_PLATFORM = -102 };
// Key-stream blocks made at once: one call into the platform serves that many.
const int ZIPAES_STREAM_BLOCKS = 32;

// Salt, AES key and header sizes by strength 1..3.
inline int ZipAesSaltSize(int strength) { return 4 * strength + 4; }
inline int ZipAesKeySize(int strength) { return 8 * strength + 8; }
inline int ZipAesHeaderSize(int strength) { return 4 * strength + 6; }

struct ZipAesContext {
  uint8_t counter[16];      // little-endian counter in the first 8 bytes
  uint8_t keyStream[16 * ZIPAES_STREAM_BLOCKS];  // AES of the counter blocks
  CAesKey aes;
  CHmacSha1 hmac;           // over the encrypted data
  uint32_t keyStreamPos;    // key-stream bytes used, 0..sizeof keyStream
  bool failed;              // the platform failed: every later code check fails
  uint32_t passwordLength;
  uint32_t strength;        // 1, 2 or 3
  uint64_t dataLimit;       // the entry's stored size minus 11
  uint64_t position;        // stored bytes passed so far, header included
  uint8_t tail[11];         // the last data byte and the 10-byte code
  uint8_t verified;         // 0 the code was not checked yet, 1 it matched, 2 it did not
};

// Derives the keys from password and salt (ZipAesSaltSize bytes) and hands back the 2-byte
// password verifier. -> 0; ZIPAES_E_PASSWORD for a password over 128 bytes,
// ZIPAES_E_STRENGTH for a strength other than 1..3, ZIPAES_E_PLATFORM when the system's
// cryptography fails.
int ZipAesInit(ZipAesContext *ctx, int strength, const char *password, int passwordLength,
               const uint8_t *salt, uint8_t *verifier);
// XORs the data with the counter-mode key stream (any split of the data gives the same result).
void ZipAesCrypt(ZipAesContext *ctx, uint8_t *data, uint32_t length);
// Adds the encrypted data to the HMAC, then decrypts it.
void ZipAesDecrypt(ZipAesContext *ctx, uint8_t *data, uint32_t length);
// Encrypts, then adds the result to the HMAC (for building test data; the archive never
// encrypts).
void ZipAesEncrypt(uint8_t *data, uint32_t length, ZipAesContext *ctx);
// Writes the 10-byte authentication code of the data so far. -> 10; 0 when the platform
// failed at any step (the code then never matches).
int ZipAesMacEnd(ZipAesContext *ctx, uint8_t *out);
// Read filter over an AES entry's stored data after the header (context: ZipAesContext with
// dataLimit and position set). Decrypts the data; holds back the last data byte and the code
// until the code is complete and matches. -> plain bytes at the start of the buffer;
// -1 when the code does not match, or when the data ends (count 0) before the code is complete.
int32_t ZipAesDecodeFilter(void *ctx, void *buffer, int32_t count);

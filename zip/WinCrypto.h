// Cryptography from the platform (CNG, bcrypt.dll): the AES block cipher, SHA-1, HMAC-SHA1 and
// PBKDF2, the pieces under WinZip AES decryption. One small owner class per CNG handle.
#pragma once
#include <windows.h>

#include <bcrypt.h>

#include <cstdint>

const int AES_BLOCK_SIZE = 16;
const int SHA1_DIGEST_SIZE = 20;

// One opened algorithm provider.
class CCngAlgorithm {
 public:
  CCngAlgorithm() = default;
  ~CCngAlgorithm() { Close(); }
  CCngAlgorithm(const CCngAlgorithm &) = delete;
  CCngAlgorithm &operator=(const CCngAlgorithm &) = delete;
  // Opens the provider of name (BCRYPT_AES_ALGORITHM, BCRYPT_SHA1_ALGORITHM) with flags
  // (BCRYPT_ALG_HANDLE_HMAC_FLAG for HMAC); closes one opened before. -> true when opened.
  bool Open(const wchar_t *name, ULONG flags = 0);
  void Close();
  BCRYPT_ALG_HANDLE Get() const { return m_alg; }

 private:
  BCRYPT_ALG_HANDLE m_alg = nullptr;
};

// AES with one key in electronic code book mode: the block cipher under a counter mode.
class CAesKey {
 public:
  CAesKey() = default;
  ~CAesKey() { Reset(); }
  CAesKey(const CAesKey &) = delete;
  CAesKey &operator=(const CAesKey &) = delete;
  // Sets the key: length 16, 24 or 32 bytes. -> false for another length or when the platform
  // refuses (no key is set then).
  bool Init(const uint8_t *key, int length);
  // Encrypts blocks whole 16-byte blocks (in and out may be the same). -> false without a key
  // or when the platform fails.
  bool EncryptBlocks(const uint8_t *in, uint8_t *out, uint32_t blocks);
  void Reset();

 private:
  CCngAlgorithm m_alg;
  BCRYPT_KEY_HANDLE m_key = nullptr;
};

// HMAC-SHA1 over data given in pieces.
class CHmacSha1 {
 public:
  CHmacSha1() = default;
  ~CHmacSha1() { Reset(); }
  CHmacSha1(const CHmacSha1 &) = delete;
  CHmacSha1 &operator=(const CHmacSha1 &) = delete;
  // Starts a code with the key (any length). -> false when the platform refuses.
  bool Init(const void *key, uint32_t length);
  // Adds message bytes. -> false when not started or the platform fails.
  bool Update(const void *data, uint32_t length);
  // Writes the first length (clamped to 1..20) bytes of the code and ends the run (Init
  // starts the next). -> the count written, 0 on failure.
  int Final(uint8_t *out, int length);
  void Reset();

 private:
  CCngAlgorithm m_alg;
  BCRYPT_HASH_HANDLE m_hash = nullptr;
};

// The SHA-1 digest (20 bytes) of data. -> false when the platform fails.
bool Sha1Digest(uint8_t *out, const void *data, uint32_t length);
// PBKDF2 (RFC 2898) with HMAC-SHA1: outLength bytes from password and salt. -> false when
// the platform fails or outLength is 0.
bool Pbkdf2HmacSha1(const void *password, uint32_t passwordLength, const void *salt, uint32_t saltLength,
                    uint32_t iterations, uint8_t *out, uint32_t outLength);

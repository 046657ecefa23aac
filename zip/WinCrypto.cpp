#include "zip/WinCrypto.h"

namespace {
inline bool Ok(NTSTATUS status) { return status >= 0; }
// CNG takes non-const buffers for input it only reads.
inline PUCHAR In(const void *p) { return static_cast<PUCHAR>(const_cast<void *>(p)); }
}  // namespace

bool CCngAlgorithm::Open(const wchar_t *name, ULONG flags) {
  Close();
  if (Ok(BCryptOpenAlgorithmProvider(&m_alg, name, nullptr, flags))) return true;
  m_alg = nullptr;
  return false;
}

void CCngAlgorithm::Close() {
  if (m_alg) BCryptCloseAlgorithmProvider(m_alg, 0);
  m_alg = nullptr;
}

bool CAesKey::Init(const uint8_t *key, int length) {
  Reset();
  if (length != 16 && length != 24 && length != 32) return false;
  if (!m_alg.Open(BCRYPT_AES_ALGORITHM)) return false;
  if (!Ok(BCryptSetProperty(m_alg.Get(), BCRYPT_CHAINING_MODE, In(BCRYPT_CHAIN_MODE_ECB),
                            sizeof BCRYPT_CHAIN_MODE_ECB, 0)) ||
      !Ok(BCryptGenerateSymmetricKey(m_alg.Get(), &m_key, nullptr, 0, In(key), static_cast<ULONG>(length), 0))) {
    m_key = nullptr;
    m_alg.Close();
    return false;
  }
  return true;
}

bool CAesKey::EncryptBlocks(const uint8_t *in, uint8_t *out, uint32_t blocks) {
  if (!m_key) return false;
  ULONG size = blocks * AES_BLOCK_SIZE, done = 0;
  return Ok(BCryptEncrypt(m_key, In(in), size, nullptr, nullptr, 0, out, size, &done, 0)) && done == size;
}

void CAesKey::Reset() {
  if (m_key) BCryptDestroyKey(m_key);
  m_key = nullptr;
  m_alg.Close();
}

bool CHmacSha1::Init(const void *key, uint32_t length) {
  Reset();
  if (!m_alg.Open(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG)) return false;
  // An empty key still needs a pointer.
  static const UCHAR kNone = 0;
  if (Ok(BCryptCreateHash(m_alg.Get(), &m_hash, nullptr, 0, length ? In(key) : In(&kNone), length, 0))) return true;
  m_hash = nullptr;
  m_alg.Close();
  return false;
}

bool CHmacSha1::Update(const void *data, uint32_t length) {
  if (!m_hash) return false;
  return !length || Ok(BCryptHashData(m_hash, In(data), length, 0));
}

int CHmacSha1::Final(uint8_t *out, int length) {
  if (!m_hash) return 0;
  uint8_t code[SHA1_DIGEST_SIZE];
  bool ok = Ok(BCryptFinishHash(m_hash, code, sizeof code, 0));
  Reset();
  if (!ok) return 0;
  if (length < 1) length = 1;
  if (length > SHA1_DIGEST_SIZE) length = SHA1_DIGEST_SIZE;
  for (int i = 0; i < length; ++i) out[i] = code[i];
  return length;
}

void CHmacSha1::Reset() {
  if (m_hash) BCryptDestroyHash(m_hash);
  m_hash = nullptr;
  m_alg.Close();
}

bool Sha1Digest(uint8_t *out, const void *data, uint32_t length) {
  CCngAlgorithm alg;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (!alg.Open(BCRYPT_SHA1_ALGORITHM) || !Ok(BCryptCreateHash(alg.Get(), &hash, nullptr, 0, nullptr, 0, 0)))
    return false;
  bool ok = (!length || Ok(BCryptHashData(hash, In(data), length, 0))) &&
            Ok(BCryptFinishHash(hash, out, SHA1_DIGEST_SIZE, 0));
  BCryptDestroyHash(hash);
  return ok;
}

bool Pbkdf2HmacSha1(const void *password, uint32_t passwordLength, const void *salt, uint32_t saltLength,
                    uint32_t iterations, uint8_t *out, uint32_t outLength) {
  CCngAlgorithm alg;
  static const UCHAR kNone = 0;
  return outLength && alg.Open(BCRYPT_SHA1_ALGORITHM, BCRYPT_ALG_HANDLE_HMAC_FLAG) &&
         Ok(BCryptDeriveKeyPBKDF2(alg.Get(), passwordLength ? In(password) : In(&kNone), passwordLength,
                                  saltLength ? In(salt) : In(&kNone), saltLength, iterations, out, outLength, 0));
}

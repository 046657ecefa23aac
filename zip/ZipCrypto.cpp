// Traditional zip decryption and the WinZip AES counter mode with its authentication code.
#include "zip/ZipCrypto.h"

#include <cstring>

#include "zip/Crc32.h"

// ---------------------------------------------------------------- traditional

namespace {

inline uint32_t CrcByte(uint32_t crc, uint8_t b) { return Crc32Update(crc, &b, 1); }

inline void UpdateKeys(ZipCryptKeys *keys, uint8_t plain) {
  keys->key[0] = CrcByte(keys->key[0], plain);
  keys->key[1] = (keys->key[1] + (keys->key[0] & 0xFF)) * 134775813u + 1;
  keys->key[2] = CrcByte(keys->key[2], static_cast<uint8_t>(keys->key[1] >> 24));
}

inline uint8_t StreamByte(const ZipCryptKeys *keys) {
  uint32_t t = (keys->key[2] & 0xFFFF) | 2;
  return static_cast<uint8_t>((t * (t ^ 1)) >> 8);
}

}  // namespace

void ZipCryptInitKeys(ZipCryptKeys *keys, const char *password) {
  keys->key[0] = 0x12345678u;
  keys->key[1] = 0x23456789u;
  keys->key[2] = 0x34567890u;
  for (const char *p = password; p && *p; ++p) UpdateKeys(keys, static_cast<uint8_t>(*p));
}

int32_t ZipCryptDecode(void *context, void *buffer, int32_t count) {
  ZipCryptKeys *keys = static_cast<ZipCryptKeys *>(context);
  uint8_t *p = static_cast<uint8_t *>(buffer);
  for (int32_t i = 0; i < count; ++i) {
    uint8_t plain = static_cast<uint8_t>(p[i] ^ StreamByte(keys));
    UpdateKeys(keys, plain);
    p[i] = plain;
  }
  return count;
}

void ZipCryptEncode(ZipCryptKeys *keys, void *buffer, int32_t count) {
  uint8_t *p = static_cast<uint8_t *>(buffer);
  for (int32_t i = 0; i < count; ++i) {
    uint8_t plain = p[i];
    p[i] = static_cast<uint8_t>(plain ^ StreamByte(keys));
    UpdateKeys(keys, plain);
  }
}

bool ZipCryptCheckHeader(const uint8_t *header, uint16_t check) {
  uint16_t stored = static_cast<uint16_t>(header[10] | header[11] << 8);
  return stored == check || header[11] == (check >> 8);
}

// ---------------------------------------------------------------- WinZip AES

int ZipAesInit(ZipAesContext *ctx, int strength, const char *password, int passwordLength,
               const uint8_t *salt, uint8_t *verifier) {
  if (passwordLength > ZIPAES_MAX_PASSWORD) return ZIPAES_E_PASSWORD;
  if (strength < 1 || strength > 3) return ZIPAES_E_STRENGTH;
  if (passwordLength < 0) passwordLength = 0;
  ctx->strength = static_cast<uint32_t>(strength);
  ctx->passwordLength = static_cast<uint32_t>(passwordLength);
  int keySize = ZipAesKeySize(strength);
  uint8_t derived[2 * 32 + ZIPAES_VERIFIER_SIZE];
  bool ok = Pbkdf2HmacSha1(password, static_cast<uint32_t>(passwordLength), salt,
                           static_cast<uint32_t>(ZipAesSaltSize(strength)), ZIPAES_ITERATIONS, derived,
                           static_cast<uint32_t>(2 * keySize + ZIPAES_VERIFIER_SIZE)) &&
            ctx->aes.Init(derived, keySize) && ctx->hmac.Init(derived + keySize, static_cast<uint32_t>(keySize));
  std::memset(ctx->counter, 0, sizeof ctx->counter);
  std::memset(ctx->keyStream, 0, sizeof ctx->keyStream);
  ctx->keyStreamPos = sizeof ctx->keyStream;
  if (ok) std::memcpy(verifier, derived + 2 * keySize, ZIPAES_VERIFIER_SIZE);
  ctx->dataLimit = 0;
  ctx->position = 0;
  std::memset(ctx->tail, 0, sizeof ctx->tail);
  ctx->verified = 0;
  ctx->failed = !ok;
  SecureZeroMemory(derived, sizeof derived);
  return ok ? 0 : ZIPAES_E_PLATFORM;
}

void ZipAesCrypt(ZipAesContext *ctx, uint8_t *data, uint32_t length) {
  uint32_t pos = ctx->keyStreamPos;
  for (uint32_t i = 0; i < length; ++i) {
    if (pos == sizeof ctx->keyStream) {
      // The next counter blocks, encrypted in one call.
      for (int b = 0; b < ZIPAES_STREAM_BLOCKS; ++b) {
        for (int j = 0; j < 8 && ++ctx->counter[j] == 0; ++j) {
        }
        std::memcpy(ctx->keyStream + AES_BLOCK_SIZE * b, ctx->counter, AES_BLOCK_SIZE);
      }
      if (!ctx->aes.EncryptBlocks(ctx->keyStream, ctx->keyStream, ZIPAES_STREAM_BLOCKS)) ctx->failed = true;
      pos = 0;
    }
    data[i] ^= ctx->keyStream[pos++];
  }
  ctx->keyStreamPos = pos;
}

void ZipAesDecrypt(ZipAesContext *ctx, uint8_t *data, uint32_t length) {
  if (!ctx->hmac.Update(data, length)) ctx->failed = true;
  ZipAesCrypt(ctx, data, length);
}

void ZipAesEncrypt(uint8_t *data, uint32_t length, ZipAesContext *ctx) {
  ZipAesCrypt(ctx, data, length);
  if (!ctx->hmac.Update(data, length)) ctx->failed = true;
}

int ZipAesMacEnd(ZipAesContext *ctx, uint8_t *out) {
  int n = ctx->hmac.Final(out, ZIPAES_MAC_SIZE);
  return ctx->failed ? 0 : n;
}

int32_t ZipAesDecodeFilter(void *context, void *buffer, int32_t count) {
  ZipAesContext *ctx = static_cast<ZipAesContext *>(context);
  uint8_t *p = static_cast<uint8_t *>(buffer);
  const uint64_t end = ctx->dataLimit + 1 + ZIPAES_MAC_SIZE;
  if (ctx->verified) return ctx->verified == 1 ? 0 : -1;  // nothing belongs behind the code
  if (count <= 0) return ctx->position < end ? -1 : 0;      // the data ended inside the tail
  int64_t available = static_cast<int64_t>(ctx->dataLimit - ctx->position);
  if (ctx->position > ctx->dataLimit) available = -static_cast<int64_t>(ctx->position - ctx->dataLimit);
  if (count <= available) {
    ZipAesDecrypt(ctx, p, static_cast<uint32_t>(count));
    ctx->position += static_cast<uint32_t>(count);
    return count;
  }
  int32_t result = 0;
  if (available > 0) {
    ZipAesDecrypt(ctx, p, static_cast<uint32_t>(available));
    ctx->position += static_cast<uint64_t>(available);
    result = static_cast<int32_t>(available);
  }
  uint32_t have = static_cast<uint32_t>(ctx->position - ctx->dataLimit);
  uint32_t take = sizeof ctx->tail - have;
  if (take > static_cast<uint32_t>(count - result)) take = static_cast<uint32_t>(count - result);
  std::memcpy(ctx->tail + have, p + result, take);
  ctx->position += take;
  if (ctx->position < end) return result;
  // The tail is complete: the last data byte goes out only with a matching code. An entry
  // without data has no last byte (its limit lies in front of the header's end).
  if (ctx->dataLimit >= static_cast<uint64_t>(ZipAesHeaderSize(static_cast<int>(ctx->strength)))) {
    ZipAesDecrypt(ctx, ctx->tail, 1);
    p[result++] = ctx->tail[0];
  }
  uint8_t mac[ZIPAES_MAC_SIZE];
  bool made = ZipAesMacEnd(ctx, mac) == ZIPAES_MAC_SIZE;
  ctx->verified = made && std::memcmp(mac, ctx->tail + 1, ZIPAES_MAC_SIZE) == 0 ? 1 : 2;
  return ctx->verified == 1 ? result : -1;
}

// The traditional PKWARE stream cipher of ZIP archives: three 32-bit keys
// stirred by CRC-32 steps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// The CRC-32 step table (reflected polynomial 0xEDB88320).
const uint32_t* Crc32Table();

class TZipCrypto {
public:
  // Starts the keys and stirs in the password. Each character counts by the
  // low 8 bits of its UTF-16 code unit; bytes that are not valid UTF-8 count
  // as themselves.
  explicit TZipCrypto(const std::string& APassword);

  uint8_t DecryptByte(uint8_t ACipher);
  uint8_t EncryptByte(uint8_t APlain);
  void Decrypt(uint8_t* AData, size_t ACount);

private:
  void UpdateKeys(uint8_t APlain);
  uint8_t KeyStream() const;

  uint32_t FKeys[3];
};

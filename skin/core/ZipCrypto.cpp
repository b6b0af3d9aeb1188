// Traditional PKWARE encryption: key set-up from a password, and the byte
// cipher in both directions.
#include "ZipCrypto.h"

#include <array>

namespace {

std::array<uint32_t, 256> MakeCrcTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k)
      c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

uint32_t Crc32Step(uint32_t ACrc, uint8_t AByte) {
  return Crc32Table()[(ACrc ^ AByte) & 0xFF] ^ (ACrc >> 8);
}

// The low bytes of the password's UTF-16 code units.
std::string PasswordBytes(const std::string& APassword) {
  std::string out;
  const auto* s = reinterpret_cast<const unsigned char*>(APassword.data());
  const size_t n = APassword.size();
  for (size_t i = 0; i < n;) {
    const unsigned char lead = s[i];
    int follow = 0;
    uint32_t cp = lead;
    if (lead >= 0xC2 && lead <= 0xDF) {
      follow = 1;
      cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      follow = 2;
      cp = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      follow = 3;
      cp = lead & 0x07;
    }
    bool valid = i + follow < n || follow == 0;
    for (int k = 1; valid && k <= follow; ++k) {
      if ((s[i + k] & 0xC0) != 0x80)
        valid = false;
      else
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (follow > 0 && valid) {
      if (cp >= 0x10000) {
        // Surrogate pair: two code units.
        const uint32_t v = cp - 0x10000;
        out.push_back(static_cast<char>((0xD800 + (v >> 10)) & 0xFF));
        out.push_back(static_cast<char>((0xDC00 + (v & 0x3FF)) & 0xFF));
      } else {
        out.push_back(static_cast<char>(cp & 0xFF));
      }
      i += static_cast<size_t>(follow) + 1;
    } else {
      out.push_back(static_cast<char>(lead));
      ++i;
    }
  }
  return out;
}

} // namespace

const uint32_t* Crc32Table() {
  static const std::array<uint32_t, 256> table = MakeCrcTable();
  return table.data();
}

TZipCrypto::TZipCrypto(const std::string& APassword)
    : FKeys{0x12345678u, 0x23456789u, 0x34567890u} {
  for (const char c : PasswordBytes(APassword))
    UpdateKeys(static_cast<uint8_t>(c));
}

void TZipCrypto::UpdateKeys(uint8_t APlain) {
  FKeys[0] = Crc32Step(FKeys[0], APlain);
  FKeys[1] = (FKeys[1] + (FKeys[0] & 0xFF)) * 134775813u + 1;
  FKeys[2] = Crc32Step(FKeys[2], static_cast<uint8_t>(FKeys[1] >> 24));
}

uint8_t TZipCrypto::KeyStream() const {
  const uint32_t temp = (FKeys[2] & 0xFFFF) | 2;
  return static_cast<uint8_t>((temp * (temp ^ 1)) >> 8);
}

uint8_t TZipCrypto::DecryptByte(uint8_t ACipher) {
  const uint8_t plain = ACipher ^ KeyStream();
  UpdateKeys(plain);
  return plain;
}

uint8_t TZipCrypto::EncryptByte(uint8_t APlain) {
  const uint8_t cipher = APlain ^ KeyStream();
  UpdateKeys(APlain);
  return cipher;
}

void TZipCrypto::Decrypt(uint8_t* AData, size_t ACount) {
  for (size_t i = 0; i < ACount; ++i)
    AData[i] = DecryptByte(AData[i]);
}

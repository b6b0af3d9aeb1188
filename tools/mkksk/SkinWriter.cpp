// The skin file writer used by mkksk and the tests.
#include "SkinWriter.h"

#include "BmpFile.h"
#include "ZipCrypto.h"

#include <random>
#include <stdexcept>
#include <zlib.h>

namespace {

constexpr size_t HeaderSize = 24;
constexpr size_t EntrySize = 77;

void Put16(std::vector<uint8_t>& AOut, uint32_t AValue) {
  AOut.push_back(static_cast<uint8_t>(AValue));
  AOut.push_back(static_cast<uint8_t>(AValue >> 8));
}
void Put32(std::vector<uint8_t>& AOut, uint32_t AValue) {
  Put16(AOut, AValue & 0xFFFF);
  Put16(AOut, AValue >> 16);
}

void PutEntry(std::vector<uint8_t>& AOut, const std::string& AName, uint8_t AKind,
              uint32_t ADataOffset, uint32_t ASize, uint32_t ANext) {
  std::string name = AName.substr(0, 64);
  name.resize(64, '\0');
  AOut.insert(AOut.end(), name.begin(), name.end());
  AOut.push_back(AKind);
  Put32(AOut, ADataOffset);
  Put32(AOut, ASize);
  Put32(AOut, ANext);
}

} // namespace

void TSk2Writer::AddBitmap(const std::string& AName, const TBitmap& ABitmap) {
  AddEntry(AName, Bitmap, SaveBmp(ABitmap));
}

void TSk2Writer::AddInt(const std::string& AName, int32_t AValue) {
  std::vector<uint8_t> data;
  Put32(data, static_cast<uint32_t>(AValue));
  AddEntry(AName, Integer, std::move(data));
}

void TSk2Writer::AddBool(const std::string& AName, bool AValue) {
  AddEntry(AName, Boolean, {static_cast<uint8_t>(AValue ? 1 : 0)});
}

void TSk2Writer::AddText(const std::string& AName, const std::string& AText) {
  AddEntry(AName, Text, std::vector<uint8_t>(AText.begin(), AText.end()));
}

void TSk2Writer::AddEntry(const std::string& AName, uint8_t AKind, std::vector<uint8_t> AData) {
  FEntries.push_back({AName, AKind, std::move(AData)});
}

std::vector<uint8_t> TSk2Writer::Build() const {
  static constexpr char Magic[] = "TARVELIN_SK2";
  std::vector<uint8_t> out(Magic, Magic + 12);
  Put32(out, HeaderSize);
  Put32(out, 2);
  Put32(out, HeaderSize);
  for (const TEntry& entry : FEntries) {
    const auto dataOffset = static_cast<uint32_t>(out.size() + EntrySize);
    const auto size = static_cast<uint32_t>(entry.Data.size());
    PutEntry(out, entry.Name, entry.Kind, dataOffset, size, dataOffset + size);
    out.insert(out.end(), entry.Data.begin(), entry.Data.end());
  }
  PutEntry(out, "", Boolean, 0, 0, 0);
  return out;
}

std::vector<uint8_t> DeflateRaw(std::span<const uint8_t> AData, int ALevel, int AStrategy) {
  z_stream stream{};
  if (deflateInit2(&stream, ALevel, Z_DEFLATED, -15, 9, AStrategy) != Z_OK)
    throw std::runtime_error("deflateInit2 failed");
  std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(AData.size())) + 64);
  stream.next_in = const_cast<Bytef*>(AData.data());
  stream.avail_in = static_cast<uInt>(AData.size());
  stream.next_out = out.data();
  stream.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&stream, Z_FINISH);
  out.resize(stream.total_out);
  deflateEnd(&stream);
  if (result != Z_STREAM_END) throw std::runtime_error("deflate did not finish");
  return out;
}

uint32_t Crc32Of(std::span<const uint8_t> AData) {
  return static_cast<uint32_t>(crc32(0, AData.data(), static_cast<uInt>(AData.size())));
}

std::vector<uint8_t> WriteSkinArchive(std::span<const uint8_t> AMember,
                                      const TSkinArchiveOptions& AOptions) {
  return WriteSkinArchiveRaw(DeflateRaw(AMember, AOptions.Level, AOptions.Strategy),
                             Crc32Of(AMember), static_cast<uint32_t>(AMember.size()), AOptions);
}

std::vector<uint8_t> WriteSkinArchiveRaw(std::span<const uint8_t> ACompressed, uint32_t ACrc,
                                         uint32_t AUncompressedSize,
                                         const TSkinArchiveOptions& AOptions) {
  const bool encrypted = !AOptions.Password.empty();
  const bool descriptor = AOptions.CheckByteFromTime;
  const uint16_t flags = static_cast<uint16_t>((encrypted ? 1 : 0) | (descriptor ? 8 : 0));

  std::vector<uint8_t> data;
  if (encrypted) {
    TZipCrypto crypto(AOptions.Password);
    std::mt19937 random(ACrc ^ AUncompressedSize);
    uint8_t header[12];
    for (int i = 0; i < 11; ++i)
      header[i] = static_cast<uint8_t>(random());
    header[11] =
        descriptor ? static_cast<uint8_t>(AOptions.DosTime >> 8) : static_cast<uint8_t>(ACrc >> 24);
    for (const uint8_t b : header)
      data.push_back(crypto.EncryptByte(b));
    for (const uint8_t b : ACompressed)
      data.push_back(crypto.EncryptByte(b));
  } else {
    data.assign(ACompressed.begin(), ACompressed.end());
  }
  const auto compressedSize = static_cast<uint32_t>(data.size());
  const std::string& name = AOptions.MemberName;

  std::vector<uint8_t> out;
  out.push_back(AOptions.SkinStart ? 'S' : 'P');
  out.push_back('K');
  out.push_back(3);
  out.push_back(4);
  Put16(out, 20);
  Put16(out, flags);
  Put16(out, 8);
  Put16(out, AOptions.DosTime);
  Put16(out, AOptions.DosDate);
  Put32(out, descriptor ? 0 : ACrc);
  Put32(out, descriptor ? 0 : compressedSize);
  Put32(out, descriptor ? 0 : AUncompressedSize);
  Put16(out, static_cast<uint32_t>(name.size()));
  Put16(out, 0);
  out.insert(out.end(), name.begin(), name.end());
  out.insert(out.end(), data.begin(), data.end());
  if (descriptor) {
    Put32(out, 0x08074B50u);
    Put32(out, ACrc);
    Put32(out, compressedSize);
    Put32(out, AUncompressedSize);
  }

  const auto directoryOffset = static_cast<uint32_t>(out.size());
  Put32(out, 0x02014B50u);
  Put16(out, 20);
  Put16(out, 20);
  Put16(out, flags);
  Put16(out, 8);
  Put16(out, AOptions.DosTime);
  Put16(out, AOptions.DosDate);
  Put32(out, ACrc);
  Put32(out, compressedSize);
  Put32(out, AUncompressedSize);
  Put16(out, static_cast<uint32_t>(name.size()));
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, 0);
  Put32(out, 0);
  Put32(out, 0);
  out.insert(out.end(), name.begin(), name.end());
  const auto directorySize = static_cast<uint32_t>(out.size() - directoryOffset);

  Put32(out, 0x06054B50u);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, 1);
  Put16(out, 1);
  Put32(out, directorySize);
  Put32(out, directoryOffset);
  Put16(out, 0);
  return out;
}

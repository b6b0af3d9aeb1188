// Walking the skin archive: the "SK" start, the end record in the last 22
// bytes, the central directory up to that record, the local header, then the
// member data (decrypted on the fly when encrypted) through the inflater.
// Every offset read from the file is checked against the file before use.
#include "SkinArchive.h"

#include "Inflate.h"
#include "ZipCrypto.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr uint32_t EndRecordSignature = 0x06054B50u;
constexpr uint64_t EndRecordSize = 22;
constexpr uint64_t DirectoryEntrySize = 46;
constexpr uint64_t LocalHeaderSize = 30;
constexpr size_t EncryptionHeaderSize = 12;

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | (p[1] << 8));
}
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool ReadExact(const TSkinSource& ASource, uint64_t AOffset, uint8_t* ABuffer, size_t ACount) {
  if (AOffset > ASource.Size() || ASource.Size() - AOffset < ACount) return false;
  return ASource.ReadAt(AOffset, ABuffer, ACount) == ACount;
}

bool SameName(const std::string& A, const std::string& B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char x, char y) {
           const auto up = [](char c) {
             return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
           };
           return up(x) == up(y);
         });
}

// The member's bytes from a start offset to the end of the archive.
class TArchiveStream : public TInflateSource {
public:
  TArchiveStream(const TSkinSource& ASource, uint64_t AStart) : FSource(ASource), FPos(AStart) {}
  size_t Read(uint8_t* ABuffer, size_t ACount) override {
    if (FPos >= FSource.Size()) return 0;
    const size_t n = FSource.ReadAt(
        FPos, ABuffer, static_cast<size_t>(std::min<uint64_t>(ACount, FSource.Size() - FPos)));
    FPos += n;
    return n;
  }

private:
  const TSkinSource& FSource;
  uint64_t FPos;
};

class TDecryptingStream : public TInflateSource {
public:
  TDecryptingStream(TInflateSource& AInner, TZipCrypto& ACrypto)
      : FInner(AInner), FCrypto(ACrypto) {}
  size_t Read(uint8_t* ABuffer, size_t ACount) override {
    const size_t n = FInner.Read(ABuffer, ACount);
    FCrypto.Decrypt(ABuffer, n);
    return n;
  }

private:
  TInflateSource& FInner;
  TZipCrypto& FCrypto;
};

struct TMemberEntry {
  uint16_t Flags = 0;
  uint16_t Method = 0;
  uint16_t Time = 0;
  uint32_t Crc = 0;
  uint32_t UncompressedSize = 0;
  uint32_t LocalHeaderOffset = 0;
};

// A member kept without compression: the directory's size in bytes, copied.
TInflateResult CopyStored(TInflateSource& ASource, TInflateSink& ASink, uint32_t ASize) {
  uint8_t buffer[16 * 1024];
  uint32_t left = ASize;
  while (left > 0) {
    const size_t n = ASource.Read(buffer, std::min<size_t>(left, sizeof buffer));
    if (n == 0) return TInflateResult::BadData;
    if (!ASink.Write(buffer, n)) return TInflateResult::TooLong;
    left -= static_cast<uint32_t>(n);
  }
  return TInflateResult::Done;
}

// Stored members are copied, every other member is inflated.
TInflateResult Extract(TInflateSource& ASource, TInflateSink& ASink, const TMemberEntry& AEntry) {
  return AEntry.Method == 0 ? CopyStored(ASource, ASink, AEntry.UncompressedSize)
                            : Inflate(ASource, ASink);
}

// Finds the member in the central directory; false when the directory is
// malformed or holds no such name.
bool FindMember(const TSkinSource& AArchive, const std::string& AName, TMemberEntry& AEntry) {
  const uint64_t size = AArchive.Size();
  if (size < EndRecordSize + 2) return false;
  const uint64_t endPos = size - EndRecordSize;
  uint8_t end[EndRecordSize];
  if (!ReadExact(AArchive, endPos, end, sizeof end)) return false;
  if (U32(end) != EndRecordSignature || U16(end + 20) != 0) return false;

  uint64_t pos = U32(end + 16);
  uint8_t fixed[DirectoryEntrySize];
  std::string name;
  while (pos < endPos) {
    if (endPos - pos < DirectoryEntrySize || !ReadExact(AArchive, pos, fixed, sizeof fixed))
      return false;
    const uint16_t nameLength = U16(fixed + 28);
    const uint64_t after =
        pos + DirectoryEntrySize + nameLength + U16(fixed + 30) + U16(fixed + 32);
    if (after > endPos) return false;
    name.resize(nameLength);
    if (!ReadExact(AArchive, pos + DirectoryEntrySize, reinterpret_cast<uint8_t*>(name.data()),
                   nameLength))
      return false;
    if (SameName(name, AName)) {
      AEntry.Flags = U16(fixed + 8);
      AEntry.Method = U16(fixed + 10);
      AEntry.Time = U16(fixed + 12);
      AEntry.Crc = U32(fixed + 16);
      AEntry.UncompressedSize = U32(fixed + 24);
      AEntry.LocalHeaderOffset = U32(fixed + 42);
      return true;
    }
    pos = after;
  }
  return false;
}

} // namespace

std::unique_ptr<TSkinFileSource> TSkinFileSource::Open(const std::string& AFileName) {
  const int fd = ::open(AFileName.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd);
    return nullptr;
  }
  return std::unique_ptr<TSkinFileSource>(
      new TSkinFileSource(fd, static_cast<uint64_t>(st.st_size)));
}

TSkinFileSource::~TSkinFileSource() {
  ::close(FFd);
}

size_t TSkinFileSource::ReadAt(uint64_t AOffset, uint8_t* ABuffer, size_t ACount) const {
  size_t done = 0;
  while (done < ACount) {
    const ssize_t n =
        ::pread(FFd, ABuffer + done, ACount - done, static_cast<off_t>(AOffset + done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  return done;
}

size_t TSkinMemorySource::ReadAt(uint64_t AOffset, uint8_t* ABuffer, size_t ACount) const {
  if (AOffset >= FBytes.size()) return 0;
  const size_t n = static_cast<size_t>(std::min<uint64_t>(ACount, FBytes.size() - AOffset));
  std::memcpy(ABuffer, FBytes.data() + AOffset, n);
  return n;
}

int UnzipSkinMember(const TSkinSource& AArchive, const std::string& AMemberName,
                    std::vector<uint8_t>& AOutput, const std::string& APassword) {
  AOutput.clear();
  uint8_t start[2];
  if (!ReadExact(AArchive, 0, start, 2) || start[0] != 'S' || start[1] != 'K') return UnzipFailed;

  TMemberEntry entry;
  if (!FindMember(AArchive, AMemberName, entry)) return UnzipFailed;
  // The output grows up to what the directory claims, so the claim is
  // bounded first: a few kilobytes of Deflate may claim gigabytes.
  if (entry.UncompressedSize > SkinMemberSizeLimit) return UnzipBadMember;

  uint8_t local[LocalHeaderSize];
  if (!ReadExact(AArchive, entry.LocalHeaderOffset, local, sizeof local)) return UnzipFailed;
  const uint64_t dataStart =
      uint64_t{entry.LocalHeaderOffset} + LocalHeaderSize + U16(local + 26) + U16(local + 28);
  if (dataStart > AArchive.Size()) return UnzipFailed;

  // From here on the member counts as begun: failures are judged by the
  // size of what was extracted.
  TArchiveStream raw(AArchive, dataStart);
  TMemorySink sink(AOutput, entry.UncompressedSize);
  TInflateResult inflated = TInflateResult::BadData;
  if (entry.Flags & 1) {
    if (APassword.empty()) return UnzipBadMember;
    TZipCrypto crypto(APassword);
    uint8_t header[EncryptionHeaderSize];
    if (raw.Read(header, sizeof header) != sizeof header) return UnzipBadMember;
    crypto.Decrypt(header, sizeof header);
    const uint8_t check = (entry.Flags & 8) ? static_cast<uint8_t>(entry.Time >> 8)
                                            : static_cast<uint8_t>(entry.Crc >> 24);
    if (header[EncryptionHeaderSize - 1] != check) return UnzipBadMember;
    TDecryptingStream decrypted(raw, crypto);
    inflated = Extract(decrypted, sink, entry);
  } else {
    inflated = Extract(raw, sink, entry);
  }

  int result = UnzipBadMember;
  if (inflated == TInflateResult::Done) {
    if (AOutput.empty())
      result = UnzipFailed;
    else if (AOutput.size() == entry.UncompressedSize)
      result = UnzipOk;
  }
  if (result != UnzipOk) AOutput.clear();
  return result;
}

int UnzipSkinMember(const std::string& AArchiveFileName, const std::string& AMemberName,
                    std::vector<uint8_t>& AOutput, const std::string& APassword) {
  AOutput.clear();
  const std::unique_ptr<TSkinFileSource> source = TSkinFileSource::Open(AArchiveFileName);
  if (!source) return UnzipFailed;
  return UnzipSkinMember(*source, AMemberName, AOutput, APassword);
}

// The skin file container: a ZIP-like archive that starts "SK", carries no
// archive comment and holds one Deflate member (optionally encrypted with the
// traditional PKWARE cipher). UnzipSkinMember finds a member by name and
// extracts it to memory; a member kept without compression is copied.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

// Random access to the archive's bytes: a file or a block of memory.
class TSkinSource {
public:
  virtual ~TSkinSource() = default;
  virtual uint64_t Size() const = 0;
  // Reads up to ACount bytes at AOffset; answers how many it read.
  virtual size_t ReadAt(uint64_t AOffset, uint8_t* ABuffer, size_t ACount) const = 0;
};

// An open file; Open answers null when the file cannot be opened.
class TSkinFileSource : public TSkinSource {
public:
  static std::unique_ptr<TSkinFileSource> Open(const std::string& AFileName);
  ~TSkinFileSource() override;
  TSkinFileSource(const TSkinFileSource&) = delete;
  TSkinFileSource& operator=(const TSkinFileSource&) = delete;
  uint64_t Size() const override { return FSize; }
  size_t ReadAt(uint64_t AOffset, uint8_t* ABuffer, size_t ACount) const override;

private:
  TSkinFileSource(int AFd, uint64_t ASize) : FFd(AFd), FSize(ASize) {}
  int FFd;
  uint64_t FSize;
};

// Bytes held by the caller, who keeps them alive while the source is used.
class TSkinMemorySource : public TSkinSource {
public:
  explicit TSkinMemorySource(std::span<const uint8_t> ABytes) : FBytes(ABytes) {}
  uint64_t Size() const override { return FBytes.size(); }
  size_t ReadAt(uint64_t AOffset, uint8_t* ABuffer, size_t ACount) const override;

private:
  std::span<const uint8_t> FBytes;
};

// The most bytes a member may claim to hold; a claim beyond it is refused
// (UnzipBadMember) before anything is inflated. A skin's pictures are small:
// the main window's whole skin inflates to 130,491 bytes.
constexpr uint32_t SkinMemberSizeLimit = 16u << 20;

// Results of UnzipSkinMember.
constexpr int UnzipOk = 0;        // the member was extracted
constexpr int UnzipFailed = 1;    // no archive, not a skin archive, no such member
constexpr int UnzipBadMember = 2; // password missing or wrong, the data does not decode
                                  // to the directory's uncompressed size, or that size
                                  // is beyond SkinMemberSizeLimit

// Extracts the member whose name equals AMemberName (letter case ignored;
// the first match wins) into AOutput. AOutput is left empty unless the result
// is UnzipOk.
int UnzipSkinMember(const TSkinSource& AArchive, const std::string& AMemberName,
                    std::vector<uint8_t>& AOutput, const std::string& APassword);
int UnzipSkinMember(const std::string& AArchiveFileName, const std::string& AMemberName,
                    std::vector<uint8_t>& AOutput, const std::string& APassword);

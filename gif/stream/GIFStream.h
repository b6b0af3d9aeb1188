// The byte stream the codec reads and writes through, so that files, memory
// blocks and the picture class share one reader and one writer: the
// interface, a growable memory stream and a file stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TGIFStream {
public:
  virtual ~TGIFStream() = default;

  // Reads up to ACount bytes and answers how many came; fewer only at the end.
  virtual size_t Read(void* ABuffer, size_t ACount) = 0;
  // Writes all ACount bytes or raises.
  virtual void Write(const void* ABuffer, size_t ACount) = 0;
  // Moves the position and answers the new one. A position past the end is
  // allowed (reads there give nothing); one before the start raises.
  virtual int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) = 0;
  virtual int64_t Size() = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t APosition) { Seek(APosition, TSeekOrigin::soBeginning); }
};

// A stream over a block of memory that grows as it is written.
class TGIFMemoryStream : public TGIFStream {
public:
  TGIFMemoryStream() = default;
  explicit TGIFMemoryStream(std::vector<uint8_t> AData) : FData(std::move(AData)) {}
  TGIFMemoryStream(const void* AData, size_t ASize);

  size_t Read(void* ABuffer, size_t ACount) override;
  void Write(const void* ABuffer, size_t ACount) override;
  int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) override;
  int64_t Size() override { return static_cast<int64_t>(FData.size()); }

  const std::vector<uint8_t>& Data() const { return FData; }
  void Clear();

private:
  std::vector<uint8_t> FData;
  int64_t FPosition = 0;
};

enum class TFileMode { fmOpenRead, fmCreate };

// A buffered stream over a file; fmCreate creates or truncates it.
class TGIFFileStream : public TGIFStream {
public:
  TGIFFileStream(const std::string& AFileName, TFileMode AMode);

  size_t Read(void* ABuffer, size_t ACount) override;
  void Write(const void* ABuffer, size_t ACount) override;
  int64_t Seek(int64_t AOffset, TSeekOrigin AOrigin) override;
  int64_t Size() override;
  // Writes what the buffer holds; raises when the file refuses it.
  void Flush();

private:
  struct TCloser {
    void operator()(FILE* AFile) const { std::fclose(AFile); }
  };
  std::unique_ptr<FILE, TCloser> FFile;
  std::string FFileName;
};

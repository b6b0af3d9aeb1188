// What the skin suites share: private folders, files, programs run as
// black boxes, sample data, a bit writer for hand-made Deflate streams, and a
// PNG writer for pictures a person can look at.
#pragma once

#include "Bitmap.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

// A fresh folder under the build's test folder, removed with its contents.
class TTestFolder {
public:
  TTestFolder();
  ~TTestFolder();
  TTestFolder(const TTestFolder&) = delete;
  TTestFolder& operator=(const TTestFolder&) = delete;
  const std::string& Path() const { return FPath; }
  std::string File(const std::string& AName) const { return FPath + "/" + AName; }
  // Names of the entries in the folder.
  std::vector<std::string> Entries() const;

private:
  std::string FPath;
};

void WriteFileBytes(const std::string& AName, std::span<const uint8_t> ABytes);
std::vector<uint8_t> ReadFileBytes(const std::string& AName);

// Runs a shell command; answers its exit status and keeps its standard output.
int RunCommand(const std::string& ACommand, std::string* AOutput = nullptr);
bool HaveProgram(const std::string& AName);
std::string Quote(const std::string& AText);

// Mixed sample data: text-like runs, random bytes and long repeats, so that
// every Deflate block kind and long matches occur.
std::vector<uint8_t> SampleData(size_t ASize, uint32_t ASeed = 1);

// Bits written least-significant first, as Deflate reads them.
class TBitWriter {
public:
  void Bits(uint32_t AValue, int ACount);
  // A Huffman code: its bits go most-significant first.
  void Code(uint32_t ACode, int ALength);
  void AlignToByte();
  void Byte(uint8_t AValue);
  // Fixed-code literal/length symbol and distance code.
  void FixedSymbol(int ASymbol);
  void FixedDistance(int ACode) { Code(static_cast<uint32_t>(ACode), 5); }
  std::vector<uint8_t> Finish();

private:
  std::vector<uint8_t> FBytes;
  uint32_t FAccumulator = 0;
  int FCount = 0;
};

// Canonical codes of a set of code lengths.
std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& ALengths);

void SavePng(const TBitmap& ABitmap, const std::string& AFileName);

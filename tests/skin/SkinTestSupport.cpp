// Shared helpers of the skin suites.
#include "SkinTestSupport.h"

#include "SkinCanvas.h"

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

TTestFolder::TTestFolder() {
  std::string base = std::string(SKIN_TEST_OUTPUT_DIR) + "/scratch-XXXXXX";
  if (!mkdtemp(base.data())) throw std::runtime_error("cannot make a test folder");
  FPath = base;
}

TTestFolder::~TTestFolder() {
  std::error_code error;
  std::filesystem::remove_all(FPath, error);
}

std::vector<std::string> TTestFolder::Entries() const {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(FPath))
    names.push_back(entry.path().filename().string());
  return names;
}

void WriteFileBytes(const std::string& AName, std::span<const uint8_t> ABytes) {
  std::ofstream out(AName, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(ABytes.data()),
            static_cast<std::streamsize>(ABytes.size()));
  if (!out) throw std::runtime_error("cannot write " + AName);
}

std::vector<uint8_t> ReadFileBytes(const std::string& AName) {
  std::ifstream in(AName, std::ios::binary);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

int RunCommand(const std::string& ACommand, std::string* AOutput) {
  FILE* pipe = popen(ACommand.c_str(), "r");
  if (!pipe) return -1;
  std::array<char, 4096> buffer{};
  std::string output;
  size_t n = 0;
  while ((n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0)
    output.append(buffer.data(), n);
  const int status = pclose(pipe);
  if (AOutput) *AOutput = std::move(output);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveProgram(const std::string& AName) {
  return RunCommand("command -v " + AName + " >/dev/null 2>&1") == 0;
}

std::string Quote(const std::string& AText) {
  std::string out = "'";
  for (const char c : AText)
    out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

std::vector<uint8_t> SampleData(size_t ASize, uint32_t ASeed) {
  std::mt19937 random(ASeed);
  static const char* const words[] = {"skin ", "title ", "button ", "frame ", "window ", "border "};
  std::vector<uint8_t> out;
  out.reserve(ASize);
  while (out.size() < ASize) {
    switch (random() % 4) {
    case 0:
      for (int i = 0; i < 40; ++i)
        for (const char* w = words[random() % 6]; *w; ++w)
          out.push_back(static_cast<uint8_t>(*w));
      break;
    case 1:
      for (int i = 0; i < 700; ++i)
        out.push_back(static_cast<uint8_t>(random()));
      break;
    case 2:
      out.insert(out.end(), 300 + random() % 2000, static_cast<uint8_t>(random()));
      break;
    default: {
      // A repeat of something said earlier, far back in the window.
      if (out.size() > 40000) {
        const size_t from = out.size() - 30000 - random() % 2000;
        for (size_t i = 0; i < 500; ++i)
          out.push_back(out[from + i]);
      }
      break;
    }
    }
  }
  out.resize(ASize);
  return out;
}

void TBitWriter::Bits(uint32_t AValue, int ACount) {
  for (int i = 0; i < ACount; ++i) {
    FAccumulator |= ((AValue >> i) & 1u) << FCount;
    if (++FCount == 8) {
      FBytes.push_back(static_cast<uint8_t>(FAccumulator));
      FAccumulator = 0;
      FCount = 0;
    }
  }
}

void TBitWriter::Code(uint32_t ACode, int ALength) {
  for (int i = ALength - 1; i >= 0; --i)
    Bits((ACode >> i) & 1u, 1);
}

void TBitWriter::AlignToByte() {
  if (FCount > 0) Bits(0, 8 - FCount);
}

void TBitWriter::Byte(uint8_t AValue) {
  Bits(AValue, 8);
}

void TBitWriter::FixedSymbol(int ASymbol) {
  if (ASymbol < 144)
    Code(0x30 + ASymbol, 8);
  else if (ASymbol < 256)
    Code(0x190 + (ASymbol - 144), 9);
  else if (ASymbol < 280)
    Code(ASymbol - 256, 7);
  else
    Code(0xC0 + (ASymbol - 280), 8);
}

std::vector<uint8_t> TBitWriter::Finish() {
  AlignToByte();
  return FBytes;
}

std::vector<uint32_t> CanonicalCodes(const std::vector<uint8_t>& ALengths) {
  int counts[16] = {};
  for (const uint8_t length : ALengths)
    ++counts[length];
  counts[0] = 0;
  uint32_t next[16] = {};
  uint32_t code = 0;
  for (int len = 1; len < 16; ++len) {
    code = (code + counts[len - 1]) << 1;
    next[len] = code;
  }
  std::vector<uint32_t> codes(ALengths.size());
  for (size_t i = 0; i < ALengths.size(); ++i)
    if (ALengths[i]) codes[i] = next[ALengths[i]]++;
  return codes;
}

namespace {

void PngChunk(std::vector<uint8_t>& AOut, const char* AType, const std::vector<uint8_t>& AData) {
  const auto put32 = [&](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8)
      AOut.push_back(static_cast<uint8_t>(v >> s));
  };
  put32(static_cast<uint32_t>(AData.size()));
  std::vector<uint8_t> body(AType, AType + 4);
  body.insert(body.end(), AData.begin(), AData.end());
  AOut.insert(AOut.end(), body.begin(), body.end());
  put32(static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

} // namespace

void SavePng(const TBitmap& ABitmap, const std::string& AFileName) {
  const int w = ABitmap.Width();
  const int h = ABitmap.Height();
  std::vector<uint8_t> raw;
  for (int y = 0; y < h; ++y) {
    raw.push_back(0);
    for (int x = 0; x < w; ++x) {
      const uint32_t p = BitmapPixel(ABitmap, x, y);
      raw.push_back(static_cast<uint8_t>(p >> 16));
      raw.push_back(static_cast<uint8_t>(p >> 8));
      raw.push_back(static_cast<uint8_t>(p));
    }
  }
  uLongf size = compressBound(static_cast<uLong>(raw.size()));
  std::vector<uint8_t> packed(size);
  compress2(packed.data(), &size, raw.data(), static_cast<uLong>(raw.size()), 9);
  packed.resize(size);

  std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
  std::vector<uint8_t> header;
  for (const uint32_t v : {static_cast<uint32_t>(w), static_cast<uint32_t>(h)})
    for (int s = 24; s >= 0; s -= 8)
      header.push_back(static_cast<uint8_t>(v >> s));
  header.insert(header.end(), {8, 2, 0, 0, 0});
  PngChunk(png, "IHDR", header);
  PngChunk(png, "IDAT", packed);
  PngChunk(png, "IEND", {});
  WriteFileBytes(AFileName, png);
}

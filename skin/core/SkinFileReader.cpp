// Reading the chained entry file of a skin. Each 77-byte entry names its data
// and the next entry by offsets into the member; both are checked against the
// member, and a next offset that does not move forward ends the chain.
#include "SkinFileReader.h"

#include "BmpFile.h"
#include "Exception.h"
#include "SkinArchive.h"

#include <algorithm>

namespace {

constexpr size_t HeaderSize = 24;
constexpr size_t EntrySize = 77;
constexpr size_t NameSize = 64;

enum TEntryKind : uint8_t { ekBitmap = 0, ekInteger = 1, ekBoolean = 2, ekText = 3 };

const char* const ReadFailure = "Failed to read skin file!";

uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

bool SameName(const std::string& A, const std::string& B) {
  return A.size() == B.size() && std::equal(A.begin(), A.end(), B.begin(), [](char x, char y) {
           const auto up = [](char c) {
             return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
           };
           return up(x) == up(y);
         });
}

template <class TList>
const typename TList::value_type* Find(const TList& AList, const std::string& AName) {
  for (const auto& item : AList)
    if (SameName(item.first, AName)) return &item;
  return nullptr;
}

struct TEntry {
  std::string Name;
  uint8_t Kind = 0;
  uint32_t DataOffset = 0;
  uint32_t DataSize = 0;
  uint32_t Next = 0;
};

TEntry ReadEntry(std::span<const uint8_t> AMember, uint64_t AOffset) {
  if (AOffset > AMember.size() || AMember.size() - AOffset < EntrySize)
    throw Exception(ReadFailure);
  const uint8_t* p = AMember.data() + AOffset;
  TEntry entry;
  const auto* nameEnd = std::find(p, p + NameSize, uint8_t{0});
  entry.Name.assign(reinterpret_cast<const char*>(p), reinterpret_cast<const char*>(nameEnd));
  entry.Kind = p[64];
  entry.DataOffset = U32(p + 65);
  entry.DataSize = U32(p + 69);
  entry.Next = U32(p + 73);
  return entry;
}

} // namespace

Tsk2SkinFileReader::Tsk2SkinFileReader(const std::string& AFileName, const std::string& APassword) {
  Load(AFileName, APassword);
}

void Tsk2SkinFileReader::Clear() {
  FBitmaps.clear();
  FInts.clear();
  FBools.clear();
  FTexts.clear();
  FReady = false;
}

void Tsk2SkinFileReader::Load(const std::string& AFileName, const std::string& APassword) {
  Clear();
  std::vector<uint8_t> member;
  const int result = UnzipSkinMember(AFileName, SkinMemberName, member, APassword);
  if (result == UnzipBadMember) return;
  if (result != UnzipOk) throw Exception(ReadFailure);
  LoadMember(member);
}

void Tsk2SkinFileReader::LoadMember(std::span<const uint8_t> AMember) {
  Clear();
  if (AMember.size() < HeaderSize) throw Exception(ReadFailure);
  // The magic, header length and version are not checked; only the first
  // entry's offset is used.
  try {
    ReadChain(AMember);
  } catch (...) {
    Clear();
    throw;
  }
  FReady = true;
}

void Tsk2SkinFileReader::ReadChain(std::span<const uint8_t> AMember) {
  uint64_t offset = U32(AMember.data() + 20);
  TEntry entry = ReadEntry(AMember, offset);
  while (entry.Next != 0) {
    if (uint64_t{entry.DataOffset} + entry.DataSize > AMember.size()) throw Exception(ReadFailure);
    const std::span<const uint8_t> data = AMember.subspan(entry.DataOffset, entry.DataSize);
    switch (entry.Kind) {
    case ekBitmap: {
      auto bitmap = std::make_unique<TBitmap>();
      if (!LoadBmp(data, *bitmap)) throw Exception(ReadFailure);
      FBitmaps.emplace_back(entry.Name, std::move(bitmap));
      break;
    }
    case ekInteger:
      // A value of another size than its type is ignored.
      if (data.size() == 4) FInts.emplace_back(entry.Name, static_cast<int32_t>(U32(data.data())));
      break;
    case ekBoolean:
      if (data.size() == 1) FBools.emplace_back(entry.Name, data[0]);
      break;
    case ekText:
      FTexts.emplace_back(entry.Name, std::string(data.begin(), data.end()));
      break;
    default:
      break;
    }
    if (entry.Next <= offset) break;
    offset = entry.Next;
    entry = ReadEntry(AMember, offset);
  }
}

const TBitmap* Tsk2SkinFileReader::GetBitmap(const std::string& AName) const {
  const auto* item = Find(FBitmaps, AName);
  return item ? item->second.get() : nullptr;
}

int Tsk2SkinFileReader::GetInt(const std::string& AName) const {
  const auto* item = Find(FInts, AName);
  return item ? item->second : -1;
}

int Tsk2SkinFileReader::GetBool(const std::string& AName) const {
  const auto* item = Find(FBools, AName);
  return item ? item->second : 0;
}

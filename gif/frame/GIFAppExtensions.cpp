// Application extensions and the registry of known application identifiers.
#include "GIFAppExtensions.h"

#include <algorithm>
#include <cstring>

#include "GIFError.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"

namespace {

constexpr uint8_t kIdentifierSize = 11;
constexpr uint8_t kShortIdentifierSize = 10;
constexpr uint8_t kLoopBlockId = 1;
constexpr uint8_t kBufferBlockId = 2;

TGIFApplicationIdentifier MakeIdentifier(const char* AText) {
  TGIFApplicationIdentifier identifier{};
  std::memcpy(identifier.data(), AText, std::min<size_t>(std::strlen(AText), kIdentifierSize));
  return identifier;
}

// Reads ahead past the label: an identifier of 10 bytes belongs to no known
// application; one of 11 may be registered.
const TGIFExtensionClass* ResolveApplication(const TGIFExtensionClass& ASelf, TGIFStream& AStream) {
  int64_t position = AStream.Position();
  int size = ReadByte(AStream);
  TGIFApplicationIdentifier identifier{};
  if ((size == kShortIdentifierSize || size == kIdentifierSize) &&
      AStream.Read(identifier.data(), static_cast<size_t>(size)) == static_cast<size_t>(size)) {
    if (size == kShortIdentifierSize) return &TGIFUnknownAppExtension::Class();
    const TGIFExtensionClass* known = FindAppExtensionClass(identifier);
    return known ? known : &TGIFUnknownAppExtension::Class();
  }
  AStream.SetPosition(position);
  return &ASelf;
}

} // namespace

const TGIFExtensionClass& TGIFApplicationExtension::Class() {
  static const TGIFExtensionClass extensionClass{
      kLabel, ResolveApplication, [](TGIFFrameBase* AFrame) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<TGIFApplicationExtension>(AFrame);
      }};
  return extensionClass;
}

const TGIFExtensionClass* FindAppExtensionClass(const TGIFApplicationIdentifier& AIdentifier) {
  struct TEntry {
    TGIFApplicationIdentifier Identifier;
    const TGIFExtensionClass* Class;
  };
  static const std::array<TEntry, 2> registry = {
      TEntry{MakeIdentifier("NETSCAPE2.0"), &TGIFAppExtNSLoop::Class()},
      TEntry{MakeIdentifier("ANIMEXTS1.0"), &TGIFAppExtNSLoop::Class()}};
  for (auto it = registry.rbegin(); it != registry.rend(); ++it)
    if (it->Identifier == AIdentifier) return it->Class;
  return nullptr;
}

TGIFApplicationExtension::TGIFApplicationExtension(TGIFFrameBase* AFrame) : TGIFExtension(AFrame) {}

void TGIFApplicationExtension::SetIdentifier(const std::string& AIdentifier) {
  FIdentifier = MakeIdentifier(AIdentifier.c_str());
}

void TGIFApplicationExtension::SaveToStream(TGIFStream& AStream) {
  TGIFExtension::SaveToStream(AStream);
  WriteByte(AStream, kIdentifierSize);
  AStream.Write(FIdentifier.data(), FIdentifier.size());
  SaveData(AStream);
}

void TGIFApplicationExtension::LoadFromStream(TGIFStream& AStream) {
  TGIFExtension::LoadFromStream(AStream);
  int size = ReadByte(AStream);
  if (size == kEndOfStream) GIFError(kMsgPrematureEnd);
  if (size < kShortIdentifierSize) GIFError(kMsgUnsupportedAppBlockSize);
  // A 10-byte identifier leaves the authentication code's last byte 0.
  FIdentifier.fill(0);
  size_t identifierSize = std::min<size_t>(static_cast<size_t>(size), kIdentifierSize);
  ReadCheck(AStream, FIdentifier.data(), identifierSize);
  if (size > kIdentifierSize) AStream.Seek(size - kIdentifierSize, TSeekOrigin::soCurrent);
  LoadData(AStream);
}

void TGIFApplicationExtension::SaveData(TGIFStream&) {
  GIFError(kMsgUnsupportedAppBlockSize);
}

void TGIFApplicationExtension::LoadData(TGIFStream&) {
  GIFError(kMsgUnsupportedAppBlockSize);
}

const TGIFExtensionClass& TGIFUnknownAppExtension::Class() {
  static const TGIFExtensionClass extensionClass{
      kLabel, ResolveToSelf, [](TGIFFrameBase* AFrame) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<TGIFUnknownAppExtension>(AFrame);
      }};
  return extensionClass;
}

void TGIFUnknownAppExtension::SaveData(TGIFStream& AStream) {
  for (const std::vector<uint8_t>& block : FBlocks) {
    WriteByte(AStream, static_cast<uint8_t>(block.size()));
    AStream.Write(block.data(), block.size());
  }
  WriteByte(AStream, 0);
}

void TGIFUnknownAppExtension::LoadData(TGIFStream& AStream) {
  FBlocks.clear();
  for (int size = ReadByte(AStream); size > 0; size = ReadByte(AStream)) {
    std::vector<uint8_t> block(static_cast<size_t>(size));
    ReadCheck(AStream, block.data(), block.size());
    FBlocks.push_back(std::move(block));
  }
}

const TGIFExtensionClass& TGIFAppExtNSLoop::Class() {
  static const TGIFExtensionClass extensionClass{
      kLabel, ResolveToSelf, [](TGIFFrameBase* AFrame) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<TGIFAppExtNSLoop>(AFrame);
      }};
  return extensionClass;
}

TGIFAppExtNSLoop::TGIFAppExtNSLoop(TGIFFrameBase* AFrame) : TGIFApplicationExtension(AFrame) {
  SetIdentifier("NETSCAPE2.0");
}

void TGIFAppExtNSLoop::SaveData(TGIFStream& AStream) {
  uint8_t loop[4] = {3, kLoopBlockId, 0, 0};
  PutWord(loop + 2, FLoops);
  AStream.Write(loop, sizeof(loop));
  if (FBufferSize != 0) {
    uint8_t buffer[6] = {5,
                         kBufferBlockId,
                         static_cast<uint8_t>(FBufferSize),
                         static_cast<uint8_t>(FBufferSize >> 8),
                         static_cast<uint8_t>(FBufferSize >> 16),
                         static_cast<uint8_t>(FBufferSize >> 24)};
    AStream.Write(buffer, sizeof(buffer));
  }
  WriteByte(AStream, 0);
}

void TGIFAppExtNSLoop::LoadData(TGIFStream& AStream) {
  for (int size = ReadByte(AStream); size > 0; size = ReadByte(AStream)) {
    int id = ReadByte(AStream);
    if (id == kEndOfStream) return;
    int left = size - 1;
    if ((id & 7) == kLoopBlockId) {
      if (left < 2) GIFError(kMsgInvalidData);
      uint8_t bytes[2];
      ReadCheck(AStream, bytes, sizeof(bytes));
      FLoops = GetWord(bytes);
      left -= 2;
    } else if ((id & 7) == kBufferBlockId) {
      if (left < 4) GIFError(kMsgInvalidData);
      uint8_t bytes[4];
      ReadCheck(AStream, bytes, sizeof(bytes));
      FBufferSize = static_cast<uint32_t>(bytes[0]) | (static_cast<uint32_t>(bytes[1]) << 8) |
                    (static_cast<uint32_t>(bytes[2]) << 16) |
                    (static_cast<uint32_t>(bytes[3]) << 24);
      left -= 4;
    }
    if (left > 0) AStream.Seek(left, TSeekOrigin::soCurrent);
  }
}

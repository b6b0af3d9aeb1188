// Application extensions: the base with its 11-byte identifier, the kept
// sub-blocks of applications the codec does not know, the animation loop
// ("NETSCAPE2.0" and "ANIMEXTS1.0"), and the registry of known identifiers.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "GIFExtension.h"

// Application identifier (8 bytes) and authentication code (3 bytes).
using TGIFApplicationIdentifier = std::array<uint8_t, 11>;

class TGIFApplicationExtension : public TGIFExtension {
public:
  static constexpr uint8_t kLabel = 0xFF;
  static const TGIFExtensionClass& Class();

  explicit TGIFApplicationExtension(TGIFFrameBase* AFrame);

  uint8_t ExtensionLabel() const override { return kLabel; }
  void SaveToStream(TGIFStream& AStream) override;
  void LoadFromStream(TGIFStream& AStream) override;

  const TGIFApplicationIdentifier& Identifier() const { return FIdentifier; }
  // The first 11 characters, padded with zero bytes.
  void SetIdentifier(const std::string& AIdentifier);

protected:
  // The data sub-blocks behind the identifier. This base has none it can
  // read or write: an application block of a size no descendant takes ends
  // here with an error.
  virtual void SaveData(TGIFStream& AStream);
  virtual void LoadData(TGIFStream& AStream);

private:
  TGIFApplicationIdentifier FIdentifier{};
};

// The registered class of an identifier, or nullptr.
const TGIFExtensionClass* FindAppExtensionClass(const TGIFApplicationIdentifier& AIdentifier);

// An application the codec does not know: its sub-blocks are kept as they
// came and written back unchanged.
class TGIFUnknownAppExtension : public TGIFApplicationExtension {
public:
  static const TGIFExtensionClass& Class();
  using TGIFApplicationExtension::TGIFApplicationExtension;

  std::vector<std::vector<uint8_t>>& Blocks() { return FBlocks; }

protected:
  void SaveData(TGIFStream& AStream) override;
  void LoadData(TGIFStream& AStream) override;

private:
  std::vector<std::vector<uint8_t>> FBlocks;
};

// The animation loop: how often the frames repeat (0 = for ever), and an
// optional buffer size.
class TGIFAppExtNSLoop : public TGIFApplicationExtension {
public:
  static const TGIFExtensionClass& Class();
  explicit TGIFAppExtNSLoop(TGIFFrameBase* AFrame);

  uint16_t Loops() const { return FLoops; }
  void SetLoops(uint16_t AValue) { FLoops = AValue; }
  uint32_t BufferSize() const { return FBufferSize; }
  void SetBufferSize(uint32_t AValue) { FBufferSize = AValue; }

protected:
  void SaveData(TGIFStream& AStream) override;
  void LoadData(TGIFStream& AStream) override;

private:
  uint16_t FLoops = 0;
  uint32_t FBufferSize = 0;
};

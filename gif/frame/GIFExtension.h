// The base of the extension blocks in front of a frame, the registry that
// maps an extension label to its class, and the frame's extension list.
#pragma once

#include <cstdint>
#include <memory>

#include "GIFItem.h"

class TGIFFrameBase;
class TGIFExtension;

inline constexpr uint8_t kExtensionIntroducer = '!';
inline constexpr uint8_t kImageSeparator = ',';
inline constexpr uint8_t kTrailerByte = ';';

// An extension class as the registries know it: its label, the look-ahead
// that may choose a more special class from the bytes that follow the label
// (it answers the class itself when none fits better), and its factory.
struct TGIFExtensionClass {
  uint8_t Label;
  const TGIFExtensionClass* (*ResolveClass)(const TGIFExtensionClass& ASelf, TGIFStream& AStream);
  std::unique_ptr<TGIFExtension> (*Create)(TGIFFrameBase* AFrame);
};

// The look-ahead of classes that have no more special descendants.
const TGIFExtensionClass* ResolveToSelf(const TGIFExtensionClass& ASelf, TGIFStream& AStream);

// The registered class of a label, or nullptr.
const TGIFExtensionClass* FindExtensionClass(uint8_t ALabel);

class TGIFExtension : public TGIFItem {
public:
  explicit TGIFExtension(TGIFFrameBase* AFrame);

  virtual uint8_t ExtensionLabel() const = 0;
  int RequiredVersion() const override { return 2; }
  // "!" and the label; descendants write their own bytes after it.
  void SaveToStream(TGIFStream& AStream) override;
  // Reads and checks "!" and the label; descendants read their own bytes after it.
  void LoadFromStream(TGIFStream& AStream) override;

  TGIFFrameBase* Frame() const { return FFrame; }

private:
  TGIFFrameBase* FFrame;
};

class TGIFExtensionList : public TGIFList {
public:
  explicit TGIFExtensionList(TGIFFrameBase* AFrame);

  TGIFExtension* Extensions(int AIndex) const { return static_cast<TGIFExtension*>(Items(AIndex)); }
  // Reads extensions up to the frame's image separator or the trailer, and
  // leaves the stream on that byte.
  void LoadFromStream(TGIFStream& AStream) override;

private:
  TGIFFrameBase* FFrame;
};

// The extensions that carry text: the plain text extension (a text grid
// drawn over the picture) and the comment extension.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "GIFExtension.h"

class TGIFTextExtension : public TGIFExtension {
public:
  static constexpr uint8_t kLabel = 0x01;
  static const TGIFExtensionClass& Class();

  explicit TGIFTextExtension(TGIFFrameBase* AFrame);

  uint8_t ExtensionLabel() const override { return kLabel; }
  void SaveToStream(TGIFStream& AStream) override;
  void LoadFromStream(TGIFStream& AStream) override;

  std::vector<std::string>& Text() { return FText; }
  uint8_t BlockSize() const { return FBlockSize; }
  // Grid left, top, width, height (u16 each), cell width and height,
  // foreground and background colour index, as the file holds them.
  std::array<uint8_t, 12>& TextBlock() { return FTextBlock; }

private:
  std::vector<std::string> FText;
  uint8_t FBlockSize = 12;
  std::array<uint8_t, 12> FTextBlock{};
};

class TGIFCommentExtension : public TGIFExtension {
public:
  static constexpr uint8_t kLabel = 0xFE;
  static const TGIFExtensionClass& Class();

  using TGIFExtension::TGIFExtension;

  uint8_t ExtensionLabel() const override { return kLabel; }
  void SaveToStream(TGIFStream& AStream) override;
  // Each sub-block becomes one line.
  void LoadFromStream(TGIFStream& AStream) override;

  std::vector<std::string>& Text() { return FText; }

private:
  std::vector<std::string> FText;
};

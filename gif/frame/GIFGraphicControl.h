// The graphic control extension: a frame's transparency, disposal, user
// input flag and delay.
#pragma once

#include <cstdint>

#include "GIFExtension.h"

// What happens to a frame's area before the next frame is drawn (bits 2-4).
enum TDisposalMethod : uint8_t {
  dmNone = 0,
  dmNoDisposal = 1,
  dmBackground = 2,
  dmPrevious = 3,
};

class TGIFGraphicControlExtension : public TGIFExtension {
public:
  static constexpr uint8_t kLabel = 0xF9;
  static const TGIFExtensionClass& Class();

  // Becomes the frame's graphic control extension when the frame has none.
  explicit TGIFGraphicControlExtension(TGIFFrameBase* AFrame);
  ~TGIFGraphicControlExtension() override;

  uint8_t ExtensionLabel() const override { return kLabel; }
  void SaveToStream(TGIFStream& AStream) override;
  // The six bytes as they stand; a short block warns and keeps what came.
  void LoadFromStream(TGIFStream& AStream) override;

  bool Transparent() const { return (FPackedFields & kTransparentFlag) != 0; }
  // Makes the frame transparent or opaque with it.
  void SetTransparent(bool AValue);
  uint8_t TransparentColorIndex() const { return FTransparentColorIndex; }
  // An index outside the frame's active colour map warns and stores 0.
  void SetTransparentColorIndex(uint8_t AIndex);
  uint8_t Disposal() const { return (FPackedFields >> 2) & 7; }
  void SetDisposal(uint8_t AValue);
  bool UserInput() const { return (FPackedFields & kUserInputFlag) != 0; }
  void SetUserInput(bool AValue);
  uint16_t Delay() const { return FDelay; }
  void SetDelay(uint16_t AValue) { FDelay = AValue; }
  uint8_t BlockSize() const { return FBlockSize; }

private:
  friend class TGIFFrameBase;
  static constexpr uint8_t kTransparentFlag = 0x01;
  static constexpr uint8_t kUserInputFlag = 0x02;

  uint8_t FBlockSize = 4;
  uint8_t FPackedFields = 0;
  uint16_t FDelay = 0;
  uint8_t FTransparentColorIndex = 0;
  uint8_t FTerminator = 0;
};

// The graphic control extension and its ties to the frame's transparency.
#include "GIFGraphicControl.h"

#include "GIFColorMap.h"
#include "GIFFrameBase.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"

const TGIFExtensionClass& TGIFGraphicControlExtension::Class() {
  static const TGIFExtensionClass extensionClass{
      kLabel, ResolveToSelf, [](TGIFFrameBase* AFrame) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<TGIFGraphicControlExtension>(AFrame);
      }};
  return extensionClass;
}

TGIFGraphicControlExtension::TGIFGraphicControlExtension(TGIFFrameBase* AFrame)
    : TGIFExtension(AFrame) {
  if (AFrame && !AFrame->FGraphicControlExtension) AFrame->FGraphicControlExtension = this;
}

TGIFGraphicControlExtension::~TGIFGraphicControlExtension() {
  TGIFFrameBase* frame = Frame();
  if (!frame) return;
  if (Transparent()) frame->FTransparent = false;
  if (frame->FGraphicControlExtension == this) frame->FGraphicControlExtension = nullptr;
}

void TGIFGraphicControlExtension::SaveToStream(TGIFStream& AStream) {
  TGIFExtension::SaveToStream(AStream);
  uint8_t bytes[6] = {FBlockSize, FPackedFields, 0, 0, FTransparentColorIndex, FTerminator};
  PutWord(bytes + 2, FDelay);
  AStream.Write(bytes, sizeof(bytes));
}

void TGIFGraphicControlExtension::LoadFromStream(TGIFStream& AStream) {
  TGIFExtension::LoadFromStream(AStream);
  uint8_t bytes[6] = {FBlockSize, FPackedFields, 0, 0, FTransparentColorIndex, FTerminator};
  PutWord(bytes + 2, FDelay);
  if (AStream.Read(bytes, sizeof(bytes)) < sizeof(bytes)) ReportWarning(1, kMsgPrematureEnd);
  FBlockSize = bytes[0];
  FPackedFields = bytes[1];
  FDelay = GetWord(bytes + 2);
  FTransparentColorIndex = bytes[4];
  FTerminator = bytes[5];
  if (Transparent() && Frame()) Frame()->FTransparent = true;
}

void TGIFGraphicControlExtension::SetTransparent(bool AValue) {
  if (AValue)
    FPackedFields |= kTransparentFlag;
  else
    FPackedFields &= static_cast<uint8_t>(~kTransparentFlag);
  if (Frame()) Frame()->FTransparent = AValue;
}

void TGIFGraphicControlExtension::SetTransparentColorIndex(uint8_t AIndex) {
  if (Frame()) {
    const TGIFColorMap& map = Frame()->ActiveColorMap();
    if (map.Count() > 0 && AIndex >= map.Count()) {
      ReportWarning(1, kMsgInvalidColorIndex);
      AIndex = 0;
    }
  }
  FTransparentColorIndex = AIndex;
}

void TGIFGraphicControlExtension::SetDisposal(uint8_t AValue) {
  FPackedFields = static_cast<uint8_t>((FPackedFields & ~0x1C) | ((AValue & 7) << 2));
}

void TGIFGraphicControlExtension::SetUserInput(bool AValue) {
  if (AValue)
    FPackedFields |= kUserInputFlag;
  else
    FPackedFields &= static_cast<uint8_t>(~kUserInputFlag);
}

// Extension base, the label registry and the frame's extension list.
#include "GIFExtension.h"

#include <array>

#include "GIFAppExtensions.h"
#include "GIFError.h"
#include "GIFFrameBase.h"
#include "GIFGraphicControl.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"
#include "GIFTextExtensions.h"

const TGIFExtensionClass* ResolveToSelf(const TGIFExtensionClass& ASelf, TGIFStream&) {
  return &ASelf;
}

const TGIFExtensionClass* FindExtensionClass(uint8_t ALabel) {
  static const std::array<const TGIFExtensionClass*, 4> registry = {
      &TGIFTextExtension::Class(), &TGIFGraphicControlExtension::Class(),
      &TGIFCommentExtension::Class(), &TGIFApplicationExtension::Class()};
  for (auto it = registry.rbegin(); it != registry.rend(); ++it)
    if ((*it)->Label == ALabel) return *it;
  return nullptr;
}

TGIFExtension::TGIFExtension(TGIFFrameBase* AFrame)
    : TGIFItem(AFrame ? AFrame->Image() : nullptr), FFrame(AFrame) {}

void TGIFExtension::SaveToStream(TGIFStream& AStream) {
  uint8_t bytes[2] = {kExtensionIntroducer, ExtensionLabel()};
  AStream.Write(bytes, sizeof(bytes));
}

void TGIFExtension::LoadFromStream(TGIFStream& AStream) {
  uint8_t bytes[2];
  ReadCheck(AStream, bytes, sizeof(bytes));
  if (bytes[0] != kExtensionIntroducer) GIFError(kMsgInvalidExtensionIntroducer);
  if (bytes[1] != ExtensionLabel()) GIFError(kMsgExtensionLabelMismatch);
}

TGIFExtensionList::TGIFExtensionList(TGIFFrameBase* AFrame)
    : TGIFList(AFrame ? AFrame->Image() : nullptr), FFrame(AFrame) {}

void TGIFExtensionList::LoadFromStream(TGIFStream& AStream) {
  int value = ReadByte(AStream);
  if (value == kEndOfStream) return;
  while (value != kImageSeparator && value != kTrailerByte) {
    if (value != kExtensionIntroducer) {
      ReportWarning(1, kMsgInvalidExtensionIntroducer);
      break;
    }
    int64_t position = AStream.Position();
    int label = ReadByte(AStream);
    const TGIFExtensionClass* extensionClass =
        label == kEndOfStream ? nullptr : FindExtensionClass(static_cast<uint8_t>(label));
    while (extensionClass) {
      const TGIFExtensionClass* resolved = extensionClass->ResolveClass(*extensionClass, AStream);
      if (resolved == extensionClass) break;
      extensionClass = resolved;
    }
    AStream.SetPosition(position);
    if (!extensionClass) GIFError(kMsgUnknownExtension);

    AStream.Seek(-1, TSeekOrigin::soCurrent);
    std::unique_ptr<TGIFExtension> extension = extensionClass->Create(FFrame);
    extension->LoadFromStream(AStream);
    Add(std::move(extension));

    value = ReadByte(AStream);
    if (value == kEndOfStream) return;
  }
  AStream.Seek(-1, TSeekOrigin::soCurrent);
}

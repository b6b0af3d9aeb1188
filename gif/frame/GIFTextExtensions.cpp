// Plain text and comment extensions.
#include "GIFTextExtensions.h"

#include "GIFStreamIO.h"

const TGIFExtensionClass& TGIFTextExtension::Class() {
  static const TGIFExtensionClass extensionClass{
      kLabel, ResolveToSelf, [](TGIFFrameBase* AFrame) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<TGIFTextExtension>(AFrame);
      }};
  return extensionClass;
}

TGIFTextExtension::TGIFTextExtension(TGIFFrameBase* AFrame) : TGIFExtension(AFrame) {}

void TGIFTextExtension::SaveToStream(TGIFStream& AStream) {
  TGIFExtension::SaveToStream(AStream);
  WriteByte(AStream, FBlockSize);
  AStream.Write(FTextBlock.data(), FTextBlock.size());
  WriteStrings(AStream, FText);
}

void TGIFTextExtension::LoadFromStream(TGIFStream& AStream) {
  TGIFExtension::LoadFromStream(AStream);
  uint8_t block[13];
  ReadCheck(AStream, block, sizeof(block));
  FBlockSize = block[0];
  std::copy(block + 1, block + 13, FTextBlock.begin());
  ReadStrings(AStream, FText);
}

const TGIFExtensionClass& TGIFCommentExtension::Class() {
  static const TGIFExtensionClass extensionClass{
      kLabel, ResolveToSelf, [](TGIFFrameBase* AFrame) -> std::unique_ptr<TGIFExtension> {
        return std::make_unique<TGIFCommentExtension>(AFrame);
      }};
  return extensionClass;
}

void TGIFCommentExtension::SaveToStream(TGIFStream& AStream) {
  TGIFExtension::SaveToStream(AStream);
  WriteStrings(AStream, FText);
}

void TGIFCommentExtension::LoadFromStream(TGIFStream& AStream) {
  TGIFExtension::LoadFromStream(AStream);
  ReadStrings(AStream, FText);
}

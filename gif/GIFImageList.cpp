// The frames of a picture and the block loop that reads them.
#include "GIFImageList.h"

#include "GIFExtension.h"
#include "GIFImage.h"
#include "GIFMessages.h"
#include "GIFStreamIO.h"

TGIFImageList::TGIFImageList(TGIFImage* AImage) : TGIFList(AImage), FPicture(AImage) {}

void TGIFImageList::LoadFromStream(TGIFStream& AStream) {
  int value = SkipZeros(AStream);
  if (value == kEndOfStream) return;
  while (value != kTrailerByte) {
    AStream.Seek(-1, TSeekOrigin::soCurrent);
    if (value != kExtensionIntroducer && value != kImageSeparator) {
      ReportWarning(1, kMsgUnknownBlockType);
      break;
    }
    auto frame = std::make_unique<TGIFSubImage>(FPicture);
    frame->LoadFromStream(AStream);
    Add(std::move(frame));
    if (FPicture) {
      const int64_t size = AStream.Size();
      const int percent = size > 0 ? static_cast<int>(AStream.Position() * 100 / size) : 100;
      FPicture->ReportProgress(TProgressStage::psRunning, percent, IncrementalLoad, kMsgLoading);
    }
    value = SkipZeros(AStream);
    if (value == kEndOfStream) return;
  }
  // Back onto the byte the trailer check reads: the ";" after the last
  // block, or, after a stray byte, the byte before it.
  AStream.Seek(-1, TSeekOrigin::soCurrent);
}

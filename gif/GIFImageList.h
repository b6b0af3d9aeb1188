// The frames of one picture in file order. Its load is the block loop: the
// frames up to the trailer, with zero bytes between blocks passed over and a
// stray byte where a block should start ending the loop with a warning.
#pragma once

#include "GIFItem.h"
#include "GIFSubImage.h"

class TGIFImage;

class TGIFImageList : public TGIFList {
public:
  explicit TGIFImageList(TGIFImage* AImage);

  TGIFSubImage& Frames(int AIndex) const { return *static_cast<TGIFSubImage*>(Items(AIndex)); }
  // Leaves the stream on the trailer's ";" (or where the trailer check will
  // find another byte); the end of the stream ends the loop quietly.
  void LoadFromStream(TGIFStream& AStream) override;

private:
  TGIFImage* FPicture;
};

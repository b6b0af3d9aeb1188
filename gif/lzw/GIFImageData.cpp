// A frame's image data as a whole.
#include "GIFImageData.h"

#include <memory>
#include <string>

#include "GIFError.h"
#include "GIFLZWEncoder.h"
#include "GIFRLEEncoder.h"

void CheckFrameSize(size_t AWidth, size_t AHeight) {
  if (AWidth != 0 && AHeight > kGIFMaxFramePixels / AWidth)
    GIFError("Image of " + std::to_string(AWidth) + " x " + std::to_string(AHeight) +
             " pixels exceeds the limit of " + std::to_string(kGIFMaxFramePixels) +
             " pixels per frame");
}

std::vector<uint8_t> ReadImageData(TGIFStream& AStream, size_t AWidth, size_t AHeight,
                                   bool AInterlaced, uint8_t AFill, TGIFWarningHandler AWarning) {
  CheckFrameSize(AWidth, AHeight);
  std::vector<uint8_t> pixels(AWidth * AHeight, AFill);
  TLZWDecoder decoder(AStream, std::move(AWarning));
  decoder.Decode(pixels.data(), AWidth, AHeight, AInterlaced);
  return pixels;
}

void WriteImageData(TGIFStream& AStream, const uint8_t* APixels, int AWidth, int AHeight,
                    bool AInterlaced, int ABitsPerPixel, int AColorCount,
                    TGIFCompression ACompression) {
  std::unique_ptr<TGIFEncoder> encoder;
  if (ACompression == TGIFCompression::ccRLE)
    encoder = std::make_unique<TRLEEncoder>();
  else
    encoder = std::make_unique<TLZWEncoder>();
  encoder->Encode(AStream, APixels, AWidth, AHeight, AInterlaced, ABitsPerPixel, AColorCount);
}

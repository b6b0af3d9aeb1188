// Building pictures in code for the picture suites: frames with their
// pixels, graphic control extensions and loop extensions.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "GIFAppExtensions.h"
#include "GIFGraphicControl.h"
#include "GIFImage.h"

// A picture whose warnings are collected.
struct TWatchedImage {
  TWatchedImage() {
    Image.OnCodecWarning = [this](TGIFImage&, TGIFObject*, int, const std::string& AMessage) {
      Warnings.push_back(AMessage);
    };
  }
  TGIFImage Image;
  std::vector<std::string> Warnings;
};

inline void SetGlobalColors(TGIFImage& AImage, const std::vector<TColor>& AColors) {
  AImage.GetGlobalColorMap().Clear();
  for (TColor color : AColors)
    AImage.GetGlobalColorMap().Add(color);
}

inline TGIFSubImage& AddFrame(TGIFImage& AImage, int ALeft, int ATop, int AWidth, int AHeight,
                              std::vector<uint8_t> APixels) {
  auto frame = std::make_unique<TGIFSubImage>(&AImage);
  frame->SetBounds(ALeft, ATop, AWidth, AHeight);
  frame->PixelData() = std::move(APixels);
  TGIFSubImage& added = *frame;
  AImage.Add(std::move(frame));
  return added;
}

// The frame's graphic control extension, made when it has none.
inline TGIFGraphicControlExtension& Control(TGIFSubImage& AFrame) {
  if (TGIFGraphicControlExtension* control = AFrame.GraphicControlExtension()) return *control;
  auto extension = std::make_unique<TGIFGraphicControlExtension>(&AFrame);
  TGIFGraphicControlExtension& control = *extension;
  AFrame.Extensions().Add(std::move(extension));
  return control;
}

inline void SetTiming(TGIFSubImage& AFrame, int ADelay, int ADisposal) {
  Control(AFrame).SetDelay(static_cast<uint16_t>(ADelay));
  Control(AFrame).SetDisposal(static_cast<uint8_t>(ADisposal));
}

inline void SetTransparentIndex(TGIFSubImage& AFrame, int AIndex) {
  Control(AFrame).SetTransparent(true);
  Control(AFrame).SetTransparentColorIndex(static_cast<uint8_t>(AIndex));
}

inline void AddLoop(TGIFSubImage& AFrame, int ALoops) {
  auto loop = std::make_unique<TGIFAppExtNSLoop>(&AFrame);
  loop->SetLoops(static_cast<uint16_t>(ALoops));
  AFrame.Extensions().Add(std::move(loop));
}

inline TColor RGB(int ARed, int AGreen, int ABlue) {
  return static_cast<TColor>(ARed | (AGreen << 8) | (ABlue << 16));
}

// Three frames on a 4 x 2 screen: red all over and kept, then a blue left
// half and a green right half that each restore to the previous picture.
// While the green half shows, the blue one is gone: the left half is red.
inline std::unique_ptr<TGIFImage> RestoringToPreviousTwice() {
  auto image = std::make_unique<TGIFImage>();
  SetGlobalColors(*image, {RGB(255, 0, 0), RGB(0, 0, 255), RGB(0, 255, 0), RGB(0, 0, 0)});
  SetTiming(AddFrame(*image, 0, 0, 4, 2, std::vector<uint8_t>(8, 0)), 10, dmNoDisposal);
  SetTiming(AddFrame(*image, 0, 0, 2, 2, {1, 1, 1, 1}), 10, dmPrevious);
  SetTiming(AddFrame(*image, 2, 0, 2, 2, {2, 2, 2, 2}), 10, dmPrevious);
  return image;
}

// The RGBA bytes of a picture written as one letter a pixel, rows parted by
// "/": R red, G green, B blue, . transparent.
inline std::vector<uint8_t> LettersRGBA(const std::string& APixels) {
  std::vector<uint8_t> rgba;
  for (char pixel : APixels) {
    if (pixel == '/') continue;
    const bool opaque = pixel == 'R' || pixel == 'G' || pixel == 'B';
    rgba.insert(rgba.end(), {uint8_t(pixel == 'R' ? 255 : 0), uint8_t(pixel == 'G' ? 255 : 0),
                             uint8_t(pixel == 'B' ? 255 : 0), uint8_t(opaque ? 255 : 0)});
  }
  return rgba;
}

// Seven frames on an 8 x 6 screen with every disposal method, transparent
// pixels, restoring frames in a row and a frame reaching beyond the screen.
inline std::unique_ptr<TGIFImage> EveryDisposal() {
  auto image = std::make_unique<TGIFImage>();
  SetGlobalColors(
      *image, {RGB(255, 0, 0), RGB(0, 255, 0), RGB(0, 0, 255), RGB(255, 255, 255), RGB(0, 0, 0)});
  struct TFrame {
    int Left, Top, Width, Height, Disposal;
  };
  const TFrame frames[] = {{0, 0, 8, 6, dmNoDisposal}, {1, 1, 4, 3, dmBackground},
                           {3, 2, 4, 3, dmPrevious},   {5, 3, 5, 5, dmPrevious},
                           {2, 0, 3, 3, dmNone},       {0, 2, 6, 2, dmBackground},
                           {1, 1, 3, 4, dmPrevious}};
  int index = 0;
  for (const TFrame& place : frames) {
    std::vector<uint8_t> pixels;
    for (int i = 0; i < place.Width * place.Height; ++i)
      pixels.push_back(static_cast<uint8_t>(i % 3 == 0 ? 4 : (index + i) % 4));
    TGIFSubImage& frame =
        AddFrame(*image, place.Left, place.Top, place.Width, place.Height, pixels);
    SetTiming(frame, 10 + index, place.Disposal);
    if (index > 0) SetTransparentIndex(frame, 4);
    ++index;
  }
  // The fourth frame reaches beyond the screen, which a file may do.
  image->Header().ScreenDescriptor().ScreenWidth = 8;
  image->Header().ScreenDescriptor().ScreenHeight = 6;
  return image;
}

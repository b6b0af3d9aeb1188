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

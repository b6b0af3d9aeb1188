// A small stand-in for the picture that holds the items under test: a header,
// a list of frames, the warnings it received, and the order of blocks in a
// file (header, frames, trailer). Tests, fuzz targets and the benchmark use it
// to read and write whole files through the codec's items.
#pragma once

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "GIFExtension.h"
#include "GIFFrameBase.h"
#include "GIFHeader.h"
#include "GIFImageHost.h"
#include "GIFStream.h"
#include "GIFStreamIO.h"

class TGIFTestImage : public TGIFImageHost {
public:
  TGIFTestImage() : FHeader(this) {}

  void ReportWarning(TGIFObject*, int, const std::string& AMessage) override {
    Warnings.push_back(AMessage);
  }
  TGIFHeader& Header() override { return FHeader; }
  int FrameCount() const override { return static_cast<int>(Frames.size()); }
  TGIFFrameBase& Frame(int AIndex) override { return *Frames[static_cast<size_t>(AIndex)]; }
  int GetVersion() override {
    int version = 0;
    for (auto& frame : Frames)
      version = std::max(version, frame->RequiredVersion());
    return version;
  }
  int GetColorResolution() override { return std::max(GetBitsPerPixel() - 1, 0); }
  int GetBitsPerPixel() override {
    int bits = FHeader.ColorMap().BitsPerPixel();
    for (auto& frame : Frames)
      bits = std::max(bits, frame->ColorMap().BitsPerPixel());
    return bits;
  }
  TGIFCompression Compression() const override { return FCompression; }
  void GlobalColorMapChanged() override { ++GlobalChanges; }

  void SetCompression(TGIFCompression AValue) { FCompression = AValue; }

  TGIFFrameBase& AddFrame(int AWidth, int AHeight, std::vector<uint8_t> APixels,
                          bool AInterlaced = false) {
    Frames.push_back(std::make_unique<TGIFFrameBase>(this));
    TGIFFrameBase& frame = *Frames.back();
    frame.ImageDescriptor().Width = static_cast<uint16_t>(AWidth);
    frame.ImageDescriptor().Height = static_cast<uint16_t>(AHeight);
    frame.SetInterlaced(AInterlaced);
    frame.PixelData() = std::move(APixels);
    return frame;
  }

  std::vector<uint8_t> Save() {
    TGIFMemoryStream stream;
    FHeader.SaveToStream(stream);
    for (auto& frame : Frames)
      frame->SaveToStream(stream);
    WriteByte(stream, kTrailerByte);
    return stream.Data();
  }

  // The header, then frames up to the trailer; leading zero bytes before a
  // block are passed over.
  void Load(TGIFStream& AStream) {
    FHeader.LoadFromStream(AStream);
    for (;;) {
      int next = ReadByte(AStream);
      while (next == 0)
        next = ReadByte(AStream);
      if (next == kEndOfStream || next == kTrailerByte) return;
      AStream.Seek(-1, TSeekOrigin::soCurrent);
      if (next != kExtensionIntroducer && next != kImageSeparator) {
        Warnings.push_back("Unknown GIF block type");
        return;
      }
      auto frame = std::make_unique<TGIFFrameBase>(this);
      frame->LoadFromStream(AStream);
      Frames.push_back(std::move(frame));
    }
  }
  void Load(const std::vector<uint8_t>& AData) {
    TGIFMemoryStream stream(AData);
    Load(stream);
  }

  std::vector<std::unique_ptr<TGIFFrameBase>> Frames;
  std::vector<std::string> Warnings;
  int GlobalChanges = 0;

private:
  TGIFHeader FHeader;
  TGIFCompression FCompression = TGIFCompression::ccLZW;
};

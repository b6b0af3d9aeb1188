// The giflib oracle: DGifSlurp over a block of memory.
#include "GiflibReader.h"

#include <cstring>
#include <memory>

#include <gif_lib.h>

namespace {

struct TSource {
  const std::vector<uint8_t>* Data;
  size_t Position;
};

int ReadFromMemory(GifFileType* AFile, GifByteType* ABuffer, int ACount) {
  auto* source = static_cast<TSource*>(AFile->UserData);
  size_t count = std::min(static_cast<size_t>(ACount), source->Data->size() - source->Position);
  std::memcpy(ABuffer, source->Data->data() + source->Position, count);
  source->Position += count;
  return static_cast<int>(count);
}

std::vector<uint8_t> Colors(const ColorMapObject* AMap) {
  std::vector<uint8_t> colors;
  if (!AMap) return colors;
  for (int i = 0; i < AMap->ColorCount; ++i) {
    colors.push_back(AMap->Colors[i].Red);
    colors.push_back(AMap->Colors[i].Green);
    colors.push_back(AMap->Colors[i].Blue);
  }
  return colors;
}

int LoopCount(const SavedImage& AImage) {
  for (int i = 0; i + 1 < AImage.ExtensionBlockCount; ++i) {
    const ExtensionBlock& block = AImage.ExtensionBlocks[i];
    if (block.Function == APPLICATION_EXT_FUNC_CODE && block.ByteCount == 11 &&
        (std::memcmp(block.Bytes, "NETSCAPE2.0", 11) == 0 ||
         std::memcmp(block.Bytes, "ANIMEXTS1.0", 11) == 0)) {
      const ExtensionBlock& data = AImage.ExtensionBlocks[i + 1];
      if (data.ByteCount >= 3 && data.Bytes[0] == 1) return data.Bytes[1] | (data.Bytes[2] << 8);
    }
  }
  return -1;
}

} // namespace

TGiflibPicture ReadWithGiflib(const std::vector<uint8_t>& AData) {
  TGiflibPicture picture;
  TSource source{&AData, 0};
  int error = 0;
  GifFileType* file = DGifOpen(&source, ReadFromMemory, &error);
  if (!file) {
    picture.Error = GifErrorString(error);
    return picture;
  }
  std::unique_ptr<GifFileType, void (*)(GifFileType*)> owner(file, [](GifFileType* AFile) {
    int closeError = 0;
    DGifCloseFile(AFile, &closeError);
  });
  if (DGifSlurp(file) != GIF_OK) {
    picture.Error = GifErrorString(file->Error);
    return picture;
  }
  picture.Width = file->SWidth;
  picture.Height = file->SHeight;
  picture.GlobalColors = Colors(file->SColorMap);
  for (int i = 0; i < file->ImageCount; ++i) {
    const SavedImage& image = file->SavedImages[i];
    TGiflibFrame frame;
    frame.Left = image.ImageDesc.Left;
    frame.Top = image.ImageDesc.Top;
    frame.Width = image.ImageDesc.Width;
    frame.Height = image.ImageDesc.Height;
    frame.Interlaced = image.ImageDesc.Interlace;
    frame.Pixels.assign(image.RasterBits,
                        image.RasterBits + static_cast<size_t>(frame.Width) * frame.Height);
    frame.LocalColors = Colors(image.ImageDesc.ColorMap);
    GraphicsControlBlock control;
    if (DGifSavedExtensionToGCB(file, i, &control) == GIF_OK) {
      for (int e = 0; e < image.ExtensionBlockCount; ++e)
        if (image.ExtensionBlocks[e].Function == GRAPHICS_EXT_FUNC_CODE) {
          frame.Delay = control.DelayTime;
          frame.Disposal = control.DisposalMode;
          frame.TransparentIndex = control.TransparentColor;
          break;
        }
    }
    picture.Frames.push_back(std::move(frame));
    if (picture.Loops < 0) picture.Loops = LoopCount(image);
  }
  return picture;
}

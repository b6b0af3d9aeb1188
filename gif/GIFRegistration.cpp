// Registering the picture class with the picture-format registry.
#include "GIFRegistration.h"

#include "GIFImage.h"
#include "PictureFormats.h"

namespace {

std::unique_ptr<TGraphic> NewGIFImage() {
  return std::make_unique<TGIFImage>();
}

} // namespace

void RegisterGIFImage(int AScreenBitsPerPixel, int AScreenPlanes) {
  TGIFImage prototype;
  const std::string className = prototype.ClassName();
  TPictureFormats::RegisterFileFormat(kGIFFileExtension, kGIFDescription, className, NewGIFImage);
  GIFClipboardFormat = TPictureFormats::RegisterClipboardFormat(kGIFClipboardName, kGIFMimeType);
  TPictureFormats::RegisterClipboardGraphic(GIFClipboardFormat, className, NewGIFImage);
  PaletteDisplay = AScreenBitsPerPixel * AScreenPlanes < 9;
}

void UnregisterGIFImage() {
  // The extension registries are fixed tables that live as long as the
  // program; only the picture class leaves the picture registry.
  TGIFImage prototype;
  TPictureFormats::UnregisterGraphicClass(prototype.ClassName());
}

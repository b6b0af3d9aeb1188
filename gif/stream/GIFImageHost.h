// What the items of a GIF picture ask of the picture that holds them. The
// picture class implements it; the header, the frames, their colour maps and
// their extensions reach their picture only through it.
#pragma once

#include <cstdint>
#include <string>

class TGIFObject;
class TGIFHeader;
class TGIFFrameBase;

// The frame coder used when writing.
enum class TGIFCompression : uint8_t { ccLZW = 0, ccRLE = 1 };

class TGIFImageHost {
public:
  virtual ~TGIFImageHost() = default;

  // Every warning of the picture's items arrives here, with its sender.
  virtual void ReportWarning(TGIFObject* ASender, int ASeverity, const std::string& AMessage) = 0;
  virtual TGIFHeader& Header() = 0;
  virtual int FrameCount() const = 0;
  virtual TGIFFrameBase& Frame(int AIndex) = 0;
  // 0 without frames, else the highest version the frames require.
  virtual int GetVersion() = 0;
  virtual int GetColorResolution() = 0;
  virtual int GetBitsPerPixel() = 0;
  virtual TGIFCompression Compression() const = 0;
  // The global colour table changed: palettes made from it are stale.
  virtual void GlobalColorMapChanged() = 0;
};

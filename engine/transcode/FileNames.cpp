// File names between the engine and the libraries (see FileNames.h). The
// libraries open any UTF-8 name as it is, so no name needs a protocol of the
// engine's own and the image-sequence names need no other code page.
#include "FileNames.h"

#include "Exception.h"

#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <strings.h>

namespace {

struct TImage2Extension {
  AVCodecID Id;
  const char* Extension;
};

// The still-image extensions of the libraries' image sequences, in order.
const TImage2Extension kImage2Extensions[] = {
    {AV_CODEC_ID_MJPEG, "jpeg"},      {AV_CODEC_ID_MJPEG, "jpg"},
    {AV_CODEC_ID_MJPEG, "jps"},       {AV_CODEC_ID_LJPEG, "ljpg"},
    {AV_CODEC_ID_JPEGLS, "jls"},      {AV_CODEC_ID_PNG, "png"},
    {AV_CODEC_ID_PNG, "pns"},         {AV_CODEC_ID_PNG, "mng"},
    {AV_CODEC_ID_PPM, "ppm"},         {AV_CODEC_ID_PPM, "pnm"},
    {AV_CODEC_ID_PGM, "pgm"},         {AV_CODEC_ID_PGMYUV, "pgmyuv"},
    {AV_CODEC_ID_PBM, "pbm"},         {AV_CODEC_ID_PAM, "pam"},
    {AV_CODEC_ID_MPEG1VIDEO, "mpg1-img"}, {AV_CODEC_ID_MPEG2VIDEO, "mpg2-img"},
    {AV_CODEC_ID_MPEG4, "mpg4-img"},  {AV_CODEC_ID_FFV1, "ffv1-img"},
    {AV_CODEC_ID_RAWVIDEO, "y"},      {AV_CODEC_ID_RAWVIDEO, "raw"},
    {AV_CODEC_ID_BMP, "bmp"},         {AV_CODEC_ID_GIF, "gif"},
    {AV_CODEC_ID_TARGA, "tga"},       {AV_CODEC_ID_TIFF, "tiff"},
    {AV_CODEC_ID_TIFF, "tif"},        {AV_CODEC_ID_SGI, "sgi"},
    {AV_CODEC_ID_PTX, "ptx"},         {AV_CODEC_ID_PCX, "pcx"},
    {AV_CODEC_ID_BRENDER_PIX, "pix"}, {AV_CODEC_ID_SUNRAST, "sun"},
    {AV_CODEC_ID_SUNRAST, "ras"},     {AV_CODEC_ID_SUNRAST, "rs"},
    {AV_CODEC_ID_SUNRAST, "im1"},     {AV_CODEC_ID_SUNRAST, "im8"},
    {AV_CODEC_ID_SUNRAST, "im24"},    {AV_CODEC_ID_SUNRAST, "im32"},
    {AV_CODEC_ID_SUNRAST, "sunras"},  {AV_CODEC_ID_JPEG2000, "j2c"},
    {AV_CODEC_ID_JPEG2000, "j2k"},    {AV_CODEC_ID_JPEG2000, "jp2"},
    {AV_CODEC_ID_JPEG2000, "jpc"},    {AV_CODEC_ID_DPX, "dpx"},
    {AV_CODEC_ID_EXR, "exr"},         {AV_CODEC_ID_PICTOR, "pic"},
    {AV_CODEC_ID_V210X, "yuv10"},     {AV_CODEC_ID_XBM, "xbm"},
    {AV_CODEC_ID_XFACE, "xface"},     {AV_CODEC_ID_XWD, "xwd"},
};

} // namespace

AVCodecID GuessImage2Codec(const char* AName) {
  const char* dot = AName ? std::strrchr(AName, '.') : nullptr;
  if (!dot) return AV_CODEC_ID_NONE;
  for (const TImage2Extension& row : kImage2Extensions)
    if (strcasecmp(dot + 1, row.Extension) == 0) return row.Id;
  return AV_CODEC_ID_NONE;
}

std::string FFmpegFileName(const std::string& AName) {
  if (AName.find('\0') != std::string::npos)
    throw Exception("The file name \"" + std::string(AName.c_str()) +
                    "...\" holds a NUL byte and cannot be opened");
  return AName;
}

std::string FFmpegToString(const char* AName) {
  return AName ? AName : "";
}

void DeleteFileIfEmpty(const std::string& AName) {
  struct stat info {};
  if (stat(AName.c_str(), &info) == 0 && S_ISREG(info.st_mode) && info.st_size == 0)
    std::remove(AName.c_str());
}

// The picture class's place in the picture-format registry: the file
// format "GIF" described as "GIF Image" and the clipboard format named "GIF
// Image" (carried as "image/gif"), both read by TGIFImage. The host calls
// RegisterGIFImage once at start-up and UnregisterGIFImage at the end.
#pragma once

// AScreenBitsPerPixel x AScreenPlanes below 9 marks the screen as a palette
// display (PaletteDisplay).
void RegisterGIFImage(int AScreenBitsPerPixel, int AScreenPlanes = 1);
void UnregisterGIFImage();

inline constexpr const char* kGIFFileExtension = "GIF";
inline constexpr const char* kGIFDescription = "GIF Image";
inline constexpr const char* kGIFClipboardName = "GIF Image";
inline constexpr const char* kGIFMimeType = "image/gif";

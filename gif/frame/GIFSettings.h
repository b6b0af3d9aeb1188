// The picture class's draw flags, optimisation options and colours, and the
// codec's unit-wide settings: the defaults every new picture copies, the
// switches for loading and writing, what the screen is, the clipboard format
// number, and the painters' timing.
#pragma once

#include <atomic>
#include <cstdint>

#include "ColorReduction.h"
#include "Dither.h"
#include "GIFColorMap.h"
#include "GIFImageHost.h"
#include "Thread.h"

// Draw flags, one bit each.
using TGIFDrawFlags = uint16_t;
enum TGIFDrawOption : TGIFDrawFlags {
  gdThreaded = 1 << 0,      // painters run in their own thread and paint through the main thread
  gdTransparent = 1 << 1,   // frames with a transparent index are drawn through their mask
  gdAnimate = 1 << 2,       // a painter advances through the frames
  gdLoop = 1 << 3,          // a painter repeats the sequence (with gdAnimate)
  gdLoopForever = 1 << 4,   // ... without end, whatever the loop count
  gdCheckCanvas = 1 << 5,   // a painter stops once its canvas no longer exists
  gdPaintOnCanvas = 1 << 6, // the draw painter paints on the caller's canvas, not the cached bitmap
  gdKeepBackground = 1 << 7, // a painter keeps what lay under the picture
  gdTile = 1 << 8,           // frames are tiled in steps of the logical screen, not stretched
  gdDither = 1 << 9,         // frames render dithered over the 6 x 6 x 6 palette ...
  gdDitherOnPaletteDisplay = 1 << 10 // ... but only on a palette display
};

// Optimisation options, one bit each.
using TGIFOptimizeOptions = uint8_t;
enum TGIFOptimizeOption : TGIFOptimizeOptions {
  ooCrop = 0x01,
  ooMerge = 0x02,
  ooCleanup = 0x04,
  ooColorMaps = 0x08,
  ooReduceColors = 0x10
};
inline constexpr TGIFOptimizeOptions ooAll =
    ooCrop | ooMerge | ooCleanup | ooColorMaps | ooReduceColors;

// "No colour": the background of restore-to-background disposal then comes
// from the header.
inline constexpr TColor clNone = 0x1FFFFFFF;
// The window colour a desktop gives an empty area.
inline constexpr TColor clWindow = 0x00FFFFFF;

// Copied by every new picture.
inline TGIFDrawFlags DefaultDrawOptions =
    gdThreaded | gdTransparent | gdAnimate | gdLoop | gdDither | gdDitherOnPaletteDisplay; // $060F
inline TGIFColorReduction DefaultColorReduction = crNetscape216;
inline unsigned DefaultReductionBits = 8;
inline TGIFDitherMode DefaultDitherMode = dtNearest;
inline TGIFCompression DefaultCompression = TGIFCompression::ccLZW;
inline TThreadPriority DefaultThreadPriority = TThreadPriority::tpNormal;
inline int DefaultAnimationSpeed = 100;

// Each frame's bitmap is built as soon as the frame is read, and the load's
// progress reports ask for an immediate redraw.
inline bool IncrementalLoad = false;
// WriteData optimises with every option first.
inline bool OptimizeOnWrite = false;
// Set by the registration: the screen shows at most 256 colours.
inline bool PaletteDisplay = false;
// Set by the registration: the number of the "GIF Image" clipboard format.
inline int GIFClipboardFormat = 0;

// Painter timing, in stored delay units (hundredths of a second as the file
// counts them) and milliseconds per unit. Painter threads read them.
inline std::atomic<int> DelayUnitMs{12};
inline std::atomic<int> DefaultFrameDelay{10};
inline std::atomic<int> MinimumFrameDelay{3};
// Applied to painters in the caller's thread only.
inline std::atomic<int> MaximumFrameDelay{1000};

// The text and timestamp drawn into every recorded frame: their settings as
// the Start handler loads them, and the drawing on the hook's bitmap (a
// QImage over the bitmap's own memory, in the recording's worker thread).
#pragma once

#include "IniFile.h"

#include <QColor>
#include <QFont>
#include <QString>

class TBitmap;

struct TOverlayFont {
  QFont Font;
  QColor Color = Qt::black;
};

// What the overlays draw; written by Start before the recording runs and
// only read by the hook while it runs.
struct TOverlayState {
  bool DrawText = false;
  QString OverlayText;
  bool DrawTimestamp = false;
  QString TimestampLabel;
  bool TextBackground = false;
  QColor TextBackColor = Qt::black;
  bool TimestampBackground = false;
  QColor TimestampBackColor = Qt::black;
  TOverlayFont TextFont, TimestampFont;
  int TextPosition = 1, TimestampPosition = 1;
  int FrameWidth = 0, FrameHeight = 0; // from the first frame; the hook's alone

  // Whether the output needs the video input hook.
  bool Wanted() const { return (DrawText && !OverlayText.isEmpty()) || DrawTimestamp; }
};

// Reads the overlay switches, texts, colours, positions and (when an overlay
// is on) the two fonts from the settings.
void LoadOverlayState(const TIniFile& AIni, TOverlayState& AState);
// The font of one overlay from its section ("fontoptions", "timestampoptions").
void LoadOverlayFont(const TIniFile& AIni, const char* ASection, TOverlayFont& AFont);

// Where a text of ATextW x ATextH goes at grid position 1..9 of a frame; false
// when it is not drawn (a frame of 5 pixels or less, or a text that does not
// fit with a positive centring offset).
bool OverlayOrigin(int AFrameW, int AFrameH, int ATextW, int ATextH, int APosition, int& AX,
                   int& AY);

// The time of day as the timestamp shows it ("hh:nn:ss:zz").
QString TimestampText(const QString& ALabel);

// Draws the overlays of AState into ABitmap (frame AFrameNumber, 1 the first).
void DrawOverlays(TOverlayState& AState, TBitmap& ABitmap, int AFrameNumber);

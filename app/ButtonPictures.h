// The main window's picture buttons' pictures: the stored skin's button face
// stretched to the button's size with a glyph drawn on it, one picture per
// state (normal, mouse over, pressed, disabled).
#pragma once

#include "Bitmap.h"

#include <QColor>
#include <QString>

class TkivFileTheme;
class TkivImageButton;

enum class TButtonGlyph { Record, Pause, Resume, Stop, Region, Screen };

struct TButtonPictures {
  TBitmap Normal, MouseOn, MouseDown, Disabled;
};

// ATheme null or not ready: the face of the built-in style the skin falls
// back to. The glyph sits at the left; the caption is centred over it all.
TButtonPictures GlyphButtonPictures(const TkivFileTheme* ATheme, TButtonGlyph AGlyph, int AWidth,
                                    int AHeight);
// A square picture: the service's letter on a disc of its colour.
TButtonPictures ShareButtonPictures(const TkivFileTheme* ATheme, const QColor& AColor,
                                    const QString& ALetter, int ASize);
// Gives the button its four pictures and its picture's size.
void SetButtonPictures(TkivImageButton& AButton, const TButtonPictures& APictures);

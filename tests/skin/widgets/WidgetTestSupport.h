// What the skinned widgets' suites share: a window to put widgets on, events
// processed until a condition holds, pictures of widgets and of what they
// should show, skin files written for a test, and screenshots saved into the
// build folder.
#pragma once

#include "Bitmap.h"
#include "SkinQt.h"

#include <QImage>
#include <QWidget>

#include <functional>
#include <memory>
#include <string>

// Processes events until the condition holds or the time is up.
bool ProcessUntil(const std::function<bool()>& ACondition, int ATimeoutMs = 3000);
void ProcessFor(int AMilliseconds);
// Runs AAction and gives the text of the message box it showed (which is
// then closed); empty when it showed none.
QString CloseNextMessageBox(const std::function<void()>& AAction);

// Shows a top-level window and waits until it is exposed.
void ShowAndWait(QWidget& AWindow);
// Makes the window the active one, as a click on it would.
void Activate(QWidget& AWindow);

// Runs xdotool with arguments on the test's X server; false when it fails.
bool RunXdotool(const std::string& AArguments);

// The widget's picture as it paints itself (its parent's background under a
// transparent widget).
QImage Picture(QWidget& AWidget);
// The part of a core bitmap at a place, opaque.
QImage Expected(const TBitmap& ABitmap);
// Count of pixels that differ between two pictures of one size (-1 for
// different sizes).
int DifferentPixels(const QImage& AActual, const QImage& AExpected);
QRgb Rgb(TColor AColor);

// A theme component on an owner, loaded with the main window's stored skin.
TkivThemeComponent* StoredSkinTheme(QObject* AOwner);
// A theme component loaded from a skin file written for the test.
TkivThemeComponent* WrittenSkinTheme(QObject* AOwner, const std::string& AFileName,
                                     const std::vector<uint8_t>& AArchive);

// Saves a screenshot under the build folder's "screenshots"; answers the path.
std::string SaveScreenshot(const QImage& AImage, const std::string& AName);
std::string TestOutputFolder();

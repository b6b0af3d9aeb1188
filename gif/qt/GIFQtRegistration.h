// The start-up and end calls of a Qt program for the GIF codec: the picture
// class joins the picture-format registry with what the screen is, and Qt's
// image readers and writers find the codec's "gif" plugin. Call after the
// application object exists.
#pragma once

void RegisterGIFQt();
void UnregisterGIFQt();

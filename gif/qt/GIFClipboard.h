// The picture on the system clipboard: its GIF bytes under the MIME type of
// the "GIF Image" clipboard format, and its bitmap as an image for programs
// that take only images. Main thread only, after RegisterGIFQt.
#pragma once

class TGIFImage;

// Nothing for an empty picture; "Failed to store GIF on clipboard" when the
// clipboard does not take it.
void CopyGIFToClipboard(TGIFImage& APicture);
// The GIF bytes when the clipboard has them, else its image; "Unsupported
// clipboard format" when it has neither.
void PasteGIFFromClipboard(TGIFImage& APicture);
// Whether the clipboard holds GIF bytes or an image.
bool ClipboardHasPicture();

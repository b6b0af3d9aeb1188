// The texts of the codec's errors, warnings and progress reports. Callers
// and tests compare against these, so they stay word for word.
#pragma once

inline constexpr const char* kMsgPrematureEnd = "Premature end of data";
inline constexpr const char* kMsgColorTableOverflow = "Color table overflow";
inline constexpr const char* kMsgInvalidColorIndex = "Invalid color index";
inline constexpr const char* kMsgColorTableEmpty = "Color table is empty";

inline constexpr const char* kMsgInvalidSignature = "Invalid GIF signature";
inline constexpr const char* kMsgUnsupportedVersion = "Unsupported GIF version";
inline constexpr const char* kMsgUnknownExtension = "Unknown extension type";
inline constexpr const char* kMsgInvalidExtensionIntroducer = "Invalid extension introducer";
inline constexpr const char* kMsgExtensionLabelMismatch =
    "Internal error: Extension Instance does not match Extension Label";
inline constexpr const char* kMsgUnsupportedAppBlockSize =
    "Unsupported Application Extension block size";
inline constexpr const char* kMsgInvalidData = "Invalid GIF data";
inline constexpr const char* kMsgImageExceedsScreen = "Image exceeds Logical Screen size";
inline constexpr const char* kMsgInvalidTrailer = "Invalid Image trailer";

inline constexpr const char* kMsgCircularTableEntry = "Circular decoder table entry";
inline constexpr const char* kMsgClearCodeTooLarge = "ClearCode too large";
inline constexpr const char* kMsgBitBufferUnderrun = "Decoder bit buffer under-run";

inline constexpr const char* kMsgColorNotInTable = "Color not in color table";
inline constexpr const char* kMsgInvalidStreamOperation = "Invalid stream operation";

inline constexpr const char* kMsgUnknownBlockType = "Unknown GIF block type";
inline constexpr const char* kMsgUnsupportedObject = "Object type not supported for operation";
inline constexpr const char* kMsgNoColorTable = "No global or local color table defined";
inline constexpr const char* kMsgHeightTooSmall = "Image height too small for contained frames";
inline constexpr const char* kMsgWidthTooSmall = "Image width too small for contained frames";
inline constexpr const char* kMsgClipboardStoreFailed = "Failed to store GIF on clipboard";
inline constexpr const char* kMsgUnsupportedClipboardFormat = "Unsupported clipboard format";
inline constexpr const char* kMsgInvalidPixelCoordinates = "Invalid pixel coordinates";
inline constexpr const char* kMsgImageEmpty = "Image is empty";
inline constexpr const char* kMsgInvalidReduction = "Invalid reduction method";

// Progress texts of the picture's long operations.
inline constexpr const char* kMsgLoading = "Loading...";
inline constexpr const char* kMsgSaving = "Saving...";
inline constexpr const char* kMsgCopying = "Copying...";
inline constexpr const char* kMsgRendering = "Rendering...";
inline constexpr const char* kMsgConverting = "Converting...";
inline constexpr const char* kMsgOptimizing = "Optimizing...";

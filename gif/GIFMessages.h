// The texts of the codec's errors and warnings for the file layout, the
// colour tables and the frame coders. Callers and tests compare against
// these, so they stay word for word.
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

/* What a frame-hook library ("-vhook") sees of the engine: the three entry
 * points it exports by name and the picture it is handed. Plain C, so that a
 * library can be written in any language that makes a shared object. */
#ifndef VEXMORA_FRAME_HOOK_MODULE_H
#define VEXMORA_FRAME_HOOK_MODULE_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The planes of one picture, as in the libraries' frames: unused entries are
 * null and 0. Process may change the pixels in place; the pointers and line
 * sizes themselves are the engine's. */
typedef struct TFrameHookPicture {
  uint8_t* data[8];
  int linesize[8];
} TFrameHookPicture;

/* "Configure": called once per "-vhook" option with the address of the
 * hook's context pointer (null on entry), the argument count, the arguments
 * (argv[0] is the library as named) and the highest argument index
 * (argc - 1). Answers 0 to accept. Optional when the library takes no
 * arguments. */
typedef int (*TFrameHookConfigure)(void** AContext, int AArgc, char* AArgv[], int AArgMax);
/* "Process": called with every decoded picture: the context, the picture,
 * its pixel format (the libraries' AVPixelFormat), width, height and time
 * stamp in microseconds. Required. */
typedef void (*TFrameHookProcess)(void* AContext, TFrameHookPicture* APicture, int APixelFormat,
                                  int AWidth, int AHeight, int64_t APts);
/* "Release": called once when the task ends, with the context. Optional. */
typedef void (*TFrameHookRelease)(void* AContext);

#ifdef __cplusplus
}
#endif

#endif

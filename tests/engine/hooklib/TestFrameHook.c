/* A frame-hook library for the engine's tests. Built in variants: the full
 * one exports Configure, Process and Release; TEST_HOOK_NO_PROCESS and
 * TEST_HOOK_NO_CONFIGURE leave out one entry point each.
 *
 * Configure takes its arguments as words: "fail" refuses the configuration,
 * "value=N" sets the byte that Process writes into a 32 x 32 block at the
 * picture's top left corner of plane 0 (rows of 32 bytes, so 8 pixels of a
 * 32-bit picture); every context numbers itself from 1. The calls are
 * written into a log that the test reads through TestHookLog. */
#include "FrameHookModule.h"

#include <stddef.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define EXPORT __attribute__((visibility("default")))

static char Log[65536];
static int NextId __attribute__((unused)) = 1;

static void AddLine(const char* AText) {
  const size_t used = strlen(Log);
  if (used + strlen(AText) + 2 < sizeof Log) {
    strcat(Log, AText);
    strcat(Log, "\n");
  }
}

typedef struct {
  int Id;
  int Value;
  int Processed;
} THookContext;

EXPORT const char* TestHookLog(void) {
  return Log;
}

EXPORT void TestHookReset(void) {
  Log[0] = 0;
}

#ifndef TEST_HOOK_NO_CONFIGURE
EXPORT int Configure(void** AContext, int AArgc, char* AArgv[], int AArgMax) {
  char line[1024];
  int at = snprintf(line, sizeof line, "configure argc=%d max=%d", AArgc, AArgMax);
  for (int i = 1; i < AArgc && at < (int)sizeof line; ++i)
    at += snprintf(line + at, sizeof line - (size_t)at, " [%s]", AArgv[i]);
  AddLine(line);
  int value = 255;
  for (int i = 1; i < AArgc; ++i) {
    if (strcmp(AArgv[i], "fail") == 0) return 1;
    if (strncmp(AArgv[i], "value=", 6) == 0) value = atoi(AArgv[i] + 6);
  }
  THookContext* context = calloc(1, sizeof *context);
  if (!context) return 1;
  context->Id = NextId++;
  context->Value = value;
  *AContext = context;
  return 0;
}
#endif

#ifndef TEST_HOOK_NO_PROCESS
EXPORT void Process(void* AContext, TFrameHookPicture* APicture, int APixelFormat, int AWidth,
                    int AHeight, int64_t APts) {
  (void)APixelFormat;
  (void)APts;
  THookContext* context = AContext;
  const int value = context ? context->Value : 255;
  if (context) ++context->Processed;
  for (int y = 0; y < 32 && y < AHeight; ++y)
    memset(APicture->data[0] + (ptrdiff_t)y * APicture->linesize[0], value,
           (size_t)(AWidth < 32 ? AWidth : 32));
}
#endif

EXPORT void Release(void* AContext) {
  THookContext* context = AContext;
  char line[128];
  snprintf(line, sizeof line, "release %d processed=%d", context ? context->Id : 0,
           context ? context->Processed : -1);
  AddLine(line);
  free(context);
}

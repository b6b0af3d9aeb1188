// What the recorder sets up at its start, once the application object
// exists, and takes down at its end: the main-thread queue on Qt's loop, and
// the GIF codec in the picture-format registry and as Qt's reader and writer
// of "gif". The program and its window suites start alike.
#pragma once

class TRecorderStartup {
public:
  TRecorderStartup();
  ~TRecorderStartup();
  TRecorderStartup(const TRecorderStartup&) = delete;
  TRecorderStartup& operator=(const TRecorderStartup&) = delete;
};

// A private X server (Xvfb) for the programs that need one: started on a free
// display, with -noreset (so the screen is not cleared when the last client
// leaves) and -nolisten tcp; DISPLAY names it for everything that follows.
#pragma once

#include <string>
#include <sys/types.h>

class TXvfbServer {
public:
  TXvfbServer() = default;
  ~TXvfbServer() { Stop(); }
  TXvfbServer(const TXvfbServer&) = delete;
  TXvfbServer& operator=(const TXvfbServer&) = delete;

  // Starts the server with one screen of AWidth x AHeight x ADepth and sets
  // DISPLAY; false with AError telling why.
  bool Start(int AWidth, int AHeight, int ADepth, std::string& AError);
  void Stop();
  bool IsRunning() const { return FPid > 0; }
  int Display() const { return FDisplay; }
  pid_t Pid() const { return FPid; }
  // Stops and continues the server's process, so that its clients stall.
  void Suspend() const;
  void Resume() const;

private:
  pid_t FPid = -1;
  int FDisplay = -1;
};

// Suspends the server for its lifetime.
class TXvfbStall {
public:
  explicit TXvfbStall(const TXvfbServer& AServer) : FServer(AServer) { FServer.Suspend(); }
  ~TXvfbStall() { FServer.Resume(); }
  TXvfbStall(const TXvfbStall&) = delete;
  TXvfbStall& operator=(const TXvfbStall&) = delete;

private:
  const TXvfbServer& FServer;
};

// The program's own server, 1920x1080x24, started on first use and stopped
// when the program ends; null when it cannot start (AError tells why).
TXvfbServer* ProgramXvfb(std::string& AError);

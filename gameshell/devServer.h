// The developer command server: a local socket through which a developer
// tool drives a running game. One client at a time sends request messages
// (a command name and typed, named parameters); each is answered with one
// short text message whose first character is "k" (done) or "e" (error).
//
// LocalServer is the transport: an AF_UNIX SOCK_SEQPACKET socket (message
// boundaries kept) at "$XDG_RUNTIME_DIR/<name>" (else the temporary folder),
// non-blocking, polled from the tick. DevServer decodes the requests and runs
// the nine commands. Request format, little-endian, the message is the frame:
//   short string command name, then parameter records up to the end:
//   short string name, type byte 'i' (i32) | 'd' (f64) | 's' (short string).
// A short string is a u8 length and that many bytes.
//
// The game never starts the server: its start, stop and tick hooks are empty.
// Main thread only.
#pragma once

#include "engine/dynArray.h"
#include "engine/streams.h"

class LocalServer
{
public:
  LocalServer() = default;
  LocalServer(const LocalServer&) = delete;
  LocalServer& operator=(const LocalServer&) = delete;
  virtual ~LocalServer();

  // Creates the listening socket; false (with a log line) when already
  // started or when the socket cannot be made.
  virtual bool start(const char* name);
  virtual void stop();
  virtual bool isStarted();
  // One whole request message.
  virtual void handleMessage(const char* data, int size) = 0;
  // Writes one message to the connected client.
  virtual void send(const void* data, int size);
  // Accepts a client, reads every waiting message and dispatches it. Never
  // blocks.
  virtual void poll();

  // The socket's path while started (for clients and tests).
  const char* path() const { return socketPath; }

  // Messages above this size are refused with "eBad message format".
  static const int MAX_MESSAGE = 64 * 1024;

protected:
  int listenFd = -1;
  int clientFd = -1;
  char socketPath[108] = {};

  void dropClient();
};

struct DevParam
{
  char name[256];
  char type;  // 'i', 'd' or 's'
  int i;
  double d;
  char* s;  // owned, for 's'
};

class DevServer : public LocalServer
{
public:
  ~DevServer() override;
  void handleMessage(const char* data, int size) override;

private:
  DynArray<DevParam> params;

  void freeParams();
  const DevParam& param(const char* name);
  int intParam(const char* name);
  double doubleParam(const char* name);
  const char* stringParam(const char* name);
  void runCommand(const char* name);
};

// The one server of the program: constructed before start-up, never started
// by the game itself.
extern DevServer dev_server;

// The game shell's hooks: after start-up, first at shut-down, first in every
// tick. They do nothing in this build.
void dev_server_start_hook();
void dev_server_close_hook();
void dev_server_tick_hook();

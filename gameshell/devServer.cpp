#include "gameshell/devServer.h"

#include <errno.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include "engine/app.h"
#include "engine/debug.h"
#include "gameshell/gameCamera.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"
#include "scripting/hmGenScript.h"
#include "scripting/worldNativesServices.h"

DevServer dev_server;

void dev_server_start_hook() {}
void dev_server_close_hook() {}
void dev_server_tick_hook() {}

// ------------------------------------------------------------- LocalServer --

LocalServer::~LocalServer() { stop(); }

bool LocalServer::isStarted() { return listenFd >= 0; }

static const char* socket_folder()
{
  const char* d = getenv("XDG_RUNTIME_DIR");
  if (!d || !*d) d = getenv("TMPDIR");
  if (!d || !*d) d = "/tmp";
  return d;
}

bool LocalServer::start(const char* name)
{
  if (isStarted()) {
    debug("LocalServer: server already started");
    return false;
  }
  sockaddr_un addr;
  memset(&addr, 0, sizeof(addr));
  addr.sun_family = AF_UNIX;
  int n = snprintf(addr.sun_path, sizeof(addr.sun_path), "%s/%s", socket_folder(), name ? name : "");
  if (!name || !*name || strchr(name, '/') || n < 0 || n >= int(sizeof(addr.sun_path))) {
    debug("LocalServer: error %08X creating named pipe '%s'", unsigned(ENAMETOOLONG), name ? name : "");
    return false;
  }
  int fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    debug("LocalServer: error %08X creating named pipe '%s'", unsigned(errno), name);
    return false;
  }
  int rc = bind(fd, (sockaddr*)&addr, sizeof(addr));
  if (rc != 0 && errno == EADDRINUSE) {
    // A socket file left by a game that ended without closing: take it over
    // only when nobody answers on it.
    int probe = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
    struct stat st;
    bool stale = probe >= 0 && connect(probe, (sockaddr*)&addr, sizeof(addr)) != 0 && errno == ECONNREFUSED &&
                 lstat(addr.sun_path, &st) == 0 && S_ISSOCK(st.st_mode);
    if (probe >= 0) close(probe);
    if (stale && unlink(addr.sun_path) == 0) rc = bind(fd, (sockaddr*)&addr, sizeof(addr));
    else errno = EADDRINUSE;
  }
  if (rc != 0 || listen(fd, 4) != 0) {
    debug("LocalServer: error %08X creating named pipe '%s'", unsigned(errno), name);
    close(fd);
    return false;
  }
  listenFd = fd;
  memcpy(socketPath, addr.sun_path, sizeof(socketPath));
  return true;
}

void LocalServer::dropClient()
{
  if (clientFd >= 0) close(clientFd);
  clientFd = -1;
}

void LocalServer::stop()
{
  if (!isStarted()) return;
  dropClient();
  close(listenFd);
  listenFd = -1;
  unlink(socketPath);
  socketPath[0] = 0;
}

void LocalServer::send(const void* data, int size)
{
  if (clientFd < 0) return;
  // A message goes out whole or not at all. The client may be slow to read:
  // wait for room up to the time-out, then give the message up.
  for (;;) {
    ssize_t w = ::send(clientFd, data, size_t(size), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (w == ssize_t(size)) return;
    if (w < 0 && errno == EINTR) continue;
    if (w < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd p = {clientFd, POLLOUT, 0};
      if (::poll(&p, 1, 1000) > 0) continue;
      errno = ETIMEDOUT;
    }
    debug("LocalServer: pipe write error %08X", unsigned(w < 0 ? errno : EIO));
    return;
  }
}

void LocalServer::poll()
{
  if (!isStarted()) return;
  if (clientFd < 0) {
    int fd = accept4(listenFd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
    if (fd >= 0) {
      clientFd = fd;  // connected: its messages are read at the next poll
      return;
    }
    if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR || errno == ECONNABORTED) return;
    debug("LocalServer: connection error %08X, closing", unsigned(errno));
    stop();
    return;
  }
  DynArray<char> buffer;
  for (;;) {
    // The size of the next message without taking it.
    char peek;
    ssize_t n = recv(clientFd, &peek, 1, MSG_PEEK | MSG_TRUNC | MSG_DONTWAIT);
    if (n == 0) {
      // Either an empty message or the end of the connection: only the
      // latter hangs up.
      pollfd p = {clientFd, POLLIN | POLLRDHUP, 0};
      if (::poll(&p, 1, 0) > 0 && (p.revents & (POLLRDHUP | POLLHUP))) {
        dropClient();  // the client has closed its end: make room for the next one
        return;
      }
    }
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) debug("LocalServer: pipe read error %08X", unsigned(errno));
      return;
    }
    if (n > MAX_MESSAGE) {
      recv(clientFd, &peek, 1, MSG_DONTWAIT);  // discards the whole message
      debug("LocalServer: message of %d bytes refused", int(n));
      static const char reply[] = "eBad message format";
      send(reply, int(sizeof(reply) - 1));
      continue;
    }
    buffer.resize(int(n));
    ssize_t got = recv(clientFd, buffer.data, size_t(n), MSG_DONTWAIT);
    if (got < 0) {
      if (errno == EINTR) continue;
      debug("LocalServer: pipe read error %08X", unsigned(errno));
      return;
    }
    handleMessage(buffer.data, int(got));
    if (clientFd < 0) return;
  }
}

// --------------------------------------------------------------- DevServer --

DevServer::~DevServer()
{
  freeParams();
  stop();
}

void DevServer::freeParams()
{
  for (int i = 0; i < params.num; i++)
    free(params[i].s);
  params.clear();
}

static void read_short_string(InputStream& in, char* out)  // out: 256 bytes
{
  unsigned char n = in.readValue<unsigned char>();
  in.read(out, n);
  out[n] = 0;
}

[[noreturn]] static void bad_param(const char* fmt, const char* name)
{
  char text[256];
  snprintf(text, sizeof(text), fmt, name);
  throw InputStream::Exception(text, -1);
}

const DevParam& DevServer::param(const char* name)
{
  for (int i = 0; i < params.num; i++)
    if (strcmp(params[i].name, name) == 0) return params[i];
  bad_param("expected param '%s'", name);
}

int DevServer::intParam(const char* name)
{
  const DevParam& p = param(name);
  if (p.type != 'i') bad_param("expected int value for param '%s'", name);
  return p.i;
}

double DevServer::doubleParam(const char* name)
{
  const DevParam& p = param(name);
  if (p.type == 'i') return p.i;
  if (p.type != 'd') bad_param("expected double value for param '%s'", name);
  return p.d;
}

const char* DevServer::stringParam(const char* name)
{
  const DevParam& p = param(name);
  if (p.type != 's') bad_param("expected string value for param '%s'", name);
  return p.s;
}

void DevServer::runCommand(const char* cmd)
{
  const char* reply = "k";
  if (strcmp(cmd, "setWorldPalColor") == 0) {
    int color = intParam("color");
    set_world_pal_color(stringParam("name"), unsigned(color));
  } else if (strcmp(cmd, "showWorldPal") == 0) {
    intParam("seed");
  } else if (strcmp(cmd, "startShowWorldPal") == 0) {
    set_game_mode(dev_mode);
    use_fog = false;
  } else if (strcmp(cmd, "setCamera") == 0) {
    float x = float(doubleParam("x")), y = float(doubleParam("y")), z = float(doubleParam("z"));
    set_camera_pos(make4f(x, y, z, 1.f));
    camera_heading = float(doubleParam("ha") * 0.017453292519943295);
    camera_pitch = float(doubleParam("va") * 0.017453292519943295);
  } else if (strcmp(cmd, "setSunDir") == 0) {
    float x = float(doubleParam("x")), y = float(doubleParam("y")), z = float(doubleParam("z"));
    set_sun_direction(make4f(x, y, z, 0.f), true);
  } else if (strcmp(cmd, "forceDevMap") == 0) {
    force_dev_map = intParam("show") != 0;
  } else if (strcmp(cmd, "checkServer") == 0) {
    reply = "k0.22";
  } else if (strcmp(cmd, "setWindowPos") == 0) {
    int left = intParam("left"), top = intParam("top"), width = intParam("width"), height = intParam("height");
    set_fullscreen(false);
    set_window_pos(left, top, width, height);
  } else {
    reply = "eUnknown command";
  }
  send(reply, int(strlen(reply)));
}

void DevServer::handleMessage(const char* data, int size)
{
  try {
    MemoryInputStream in(data, size);
    char cmd[256];
    read_short_string(in, cmd);
    while (in.tell() < size) {
      DevParam p;
      memset(&p, 0, sizeof(p));
      read_short_string(in, p.name);
      p.type = in.readValue<char>();
      if (p.type == 'i') p.i = in.readValue<int>();
      else if (p.type == 'd') p.d = in.readValue<double>();
      else if (p.type == 's') {
        char text[256];
        read_short_string(in, text);
        p.s = strdup(text);
      } else {
        char msg[64];
        snprintf(msg, sizeof(msg), "unknown value type '%c'", p.type);
        throw InputStream::Exception(msg, in.tell());
      }
      params.push_back(p);
    }
    debug("DevServer: command <%s>", cmd);
    for (int i = 0; i < params.num; i++) {
      const DevParam& p = params[i];
      debug_("  %s = ", p.name);
      if (p.type == 'i') debug("int %d", p.i);
      else if (p.type == 'd') debug("double %g", p.d);
      else debug("str \"%s\"", p.s);
    }
    runCommand(cmd);
  } catch (const InputStream::Exception& e) {
    debug("DevServer: %s", e.message);
    static const char reply[] = "eBad message format";
    send(reply, int(sizeof(reply) - 1));
  }
  freeParams();
}

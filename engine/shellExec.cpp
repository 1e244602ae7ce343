#include "engine/shellExec.h"

#include "engine/debug.h"

#include <poll.h>
#include <spawn.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

void shell_execute(const char* verb, const char* file, const char* params, const char* dir)
{
  (void)verb;
  (void)params;
  if (!file || !file[0]) return;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (dir && dir[0]) posix_spawn_file_actions_addchdir_np(&actions, dir);
  char* argv[] = {const_cast<char*>("xdg-open"), const_cast<char*>(file), nullptr};
  pid_t pid;
  int err = posix_spawnp(&pid, "xdg-open", &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (err != 0) {
    debug("shell_execute: cannot start xdg-open: %s", strerror(err));
    return;
  }
  // Reap the opener when it ends, without making the caller wait for it.
  std::thread([pid] {
    int status;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
}

int pipe_bytes_available(FILE* stream)
{
  if (!stream) return 0;
  if (feof(stream)) return 0;
#if defined(__GLIBC__)
  // Bytes the stream has read ahead but not handed out yet.
  if (stream->_IO_read_ptr && stream->_IO_read_end > stream->_IO_read_ptr)
    return int(stream->_IO_read_end - stream->_IO_read_ptr);
#endif
  int fd = fileno(stream);
  int waiting = 0;
  if (fd < 0 || ioctl(fd, FIONREAD, &waiting) != 0) return 1;
  if (waiting > 0) return waiting;
  // Nothing waiting, yet readable: the writer has gone (or a file is at its
  // end), so a read returns at once with the end of the stream. A pipe that
  // is merely empty reports nothing.
  pollfd p = {fd, POLLIN, 0};
  if (poll(&p, 1, 0) < 0 || p.revents != 0) return 1;
  return 0;
}

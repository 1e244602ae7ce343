// Standard output sent to /dev/null for the lifetime of the object: the
// world's generation and erosion log statistics on every run, which would
// flood a benchmark's report.
#pragma once

#include <unistd.h>

#include <cstdio>

struct QuietStdout
{
  int saved;
  QuietStdout()
  {
    fflush(stdout);
    saved = dup(1);
    FILE* null = freopen("/dev/null", "w", stdout);
    (void)null;
  }
  ~QuietStdout()
  {
    fflush(stdout);
    dup2(saved, 1);
    close(saved);
  }
};

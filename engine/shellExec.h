// Handing documents to the desktop, and peeking at a child process's output.
//
// shell_execute() opens a file or address with the user's preferred program
// (xdg-open) in the background; it never waits and its outcome is not
// reported. pipe_bytes_available() tells how much can be read from a stream
// on a child's output without blocking. Main thread only.
#pragma once

#include <cstdio>

// `verb` ("open", "edit", "explore"...) and `params` have no equivalent for
// xdg-open, which always opens `file`; `dir` (may be null) is the working
// folder of the opener.
void shell_execute(const char* verb, const char* file, const char* params, const char* dir);

// 0 for a null stream or one that has met its end; the bytes already buffered in the stream when there
// are any; else the bytes waiting in the pipe. When the writer has closed
// the pipe, or the pipe cannot be examined, 1: the caller's next read then
// meets the end of the stream instead of waiting for it for ever.
int pipe_bytes_available(FILE* stream);

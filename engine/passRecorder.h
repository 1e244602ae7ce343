// The pass recorder: a named mark at the start of every render pass, so a
// test can read back the order in which a frame ran its passes.
//
// mark_pass is meant to stay in the drawing code for good: while recording
// is off it is one test of a global flag. While on, each mark appends its
// name (a string with static storage; only the pointer is kept) to the
// record. The device also marks every full-screen quad it draws with
// PASS_FULLSCREEN_QUAD, so the record shows how many quads each pass drew.
// Main thread only.
#pragma once

#include <string>
#include <vector>

extern bool pass_recording;

// What draw_postfx appends for each full-screen quad.
extern const char PASS_FULLSCREEN_QUAD[];

void append_pass_mark(const char* name);

// Called with every mark while recording, before it is appended (null: none).
// A benchmark uses it to wait for the GPU and time each pass.
extern void (*pass_mark_hook)(const char* name);

inline void mark_pass(const char* name)
{
  if (pass_recording) append_pass_mark(name);
}

// Starts a new, empty record.
void start_pass_recording();
void stop_pass_recording();
// The marks since the last start, oldest first.
std::vector<std::string> recorded_passes();

#include "engine/passRecorder.h"

#include "engine/dynArray.h"

bool pass_recording = false;
const char PASS_FULLSCREEN_QUAD[] = "fullscreen quad";

static DynArray<const char*> pass_marks;

void (*pass_mark_hook)(const char* name) = nullptr;

void append_pass_mark(const char* name)
{
  if (pass_mark_hook) pass_mark_hook(name);
  pass_marks.append(1, &name);
}

void start_pass_recording()
{
  pass_marks.clear();
  pass_recording = true;
}

void stop_pass_recording() { pass_recording = false; }

std::vector<std::string> recorded_passes()
{
  std::vector<std::string> out;
  out.reserve(pass_marks.num);
  for (int i = 0; i < pass_marks.num; ++i) out.emplace_back(pass_marks[i]);
  return out;
}

#include <gtest/gtest.h>
#include "world_script_doubles.h"
#include "scripting/hmGenScript.h"
#include "engine/paths.h"
#include "engine/visualLog.h"
#include <cstring>
#include <chrono>
static float clk(){ return std::chrono::duration<float>(std::chrono::steady_clock::now().time_since_epoch()).count(); }
TEST(Scratch, Timing) {
  char saved[260]; memcpy(saved, app_path, 260);
  strcpy(app_path, getenv("SCRATCH_DIR"));
  reset_world_script_doubles();
  init_world_script();
  sqbind::bind_function(world_script_vm.vm, clk, "clock");
  generate_world("game");
  if (error_message_text.num) printf("ERR: %s\n", error_message_text.data);
  shutdown_world_script(); world_script_vm.files.clear();
  memcpy(app_path, saved, 260);
}

#include "natives_fixture.h"
#include "scripting/fxScript.h"
#include "engine/paths.h"
#include "engine/visualLog.h"
TEST(N2FxCheck, A) {
  char saved[260]; memcpy(saved, app_path, 260);
  snprintf(app_path, 260, "/work/main/data/");
  EXPECT_TRUE(init_fx_script());
  const char* fns[] = {"fire_burst","smoke_column","water_splash","magic_sparkle","lava_spit","portal_glow","steam_puff"};
  for (auto f : fns) { set_error_message(nullptr); call_fx_script(f, make4f(1,2,3,1), make4f(0,1,0,0), make4f(1,0.5f,0.2f,1), 1.f);
    EXPECT_EQ(error_message_text.num, 0) << f << (error_message_text.num ? error_message_text.data : ""); }
  update_fx_script(0.05f);
  close_fx_script(); fx_script_vm.files.clear();
  memcpy(app_path, saved, 260);
}

// The sound events our plug-in raises: the hum of each portal as a tracked
// positional sound, the portal entered, the player's dash and menu clicks.
// A test sound script records every event it is asked for.
#include "audio_fixture.h"

#include "gameshell/gameCamera.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjHost.h"
#include "gameshell/soundEvents.h"
#include "gameshell/soundScript.h"

#include "engine/app.h"
#include "engine/input.h"
#include "scripting/sqbindCall.h"
#include "world/heightmapData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace
{

class GameobjSounds : public AudioTest
{
protected:
  void SetUp() override
  {
    AudioTest::SetUp();
    load_gameobj_library(QM_GAMEOBJ_PLUGIN);
    std::fill(std::begin(HeightmapData::hmap), std::end(HeightmapData::hmap), 0.f);
    camera_pos = make4f(0, 0, 0, 1);
    write_sound("loop.wav", 1.0, 1, [](double t, int) { return tone(t, 300); });
    std::string script = test_sound_dir() + "/plugin_sounds.nut";
    std::string text = "raised <- [];\n"
                       "local s = load_sample(\"" + test_sound_dir() + "/loop.wav\", 16, SNDF_3D | SNDF_LOOP);\n"
                       "events <- {};\n"
                       "foreach (name in [";
    for (const char* n : sound_event_name) text += std::string("\"") + n + "\", ";
    text += "]) { local n = name; events[n] <- function() { raised.append(n); return get_channel(s); }; }\n";
    std::ofstream(script) << text;
    init_sound_vm(script.c_str());
  }
  void TearDown() override
  {
    remove_all_gameobj();
    close_game_menu();
    unload_gameobj();
    destroy_queued_gui_elements();
    close_sound_vm();
    sound_script_vm.files.clear();
    tracked_3d_sounds.clear();
    AudioTest::TearDown();
  }

  // The events raised since the last call.
  std::vector<std::string> raised()
  {
    HSQUIRRELVM vm = sound_script_vm.vm;
    std::vector<std::string> out;
    sq_pushroottable(vm);
    sq_pushstring(vm, "raised", -1);
    sq_get(vm, -2);
    for (SQInteger i = 0; i < sq_getsize(vm, -1); i++) {
      sq_pushinteger(vm, i);
      sq_get(vm, -2);
      const SQChar* s = "";
      sq_getstring(vm, -1, &s);
      out.push_back(s);
      sq_poptop(vm);
    }
    sq_arrayresize(vm, -1, 0);
    sq_pop(vm, 2);
    return out;
  }

  void placePortal(int x, int z)
  {
    HSQUIRRELVM vm = open_script_vm(1024);
    bind_gameobj(vm);
    std::string script = "place_portal(" + std::to_string(x) + ", " + std::to_string(z) + ", 2);";
    ASSERT_TRUE(compile_script_buffer(vm, script.c_str(), SQInteger(script.size()), "test"));
    sq_pushroottable(vm);
    ASSERT_TRUE(SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue)));
    sq_pop(vm, 1);
    close_script_vm(vm);
  }
};

typedef std::vector<std::string> Names;

TEST_F(GameobjSounds, EachPortalHumsWhereItStandsUntilItIsGone)
{
  placePortal(250, 40);
  update_gameobj(0.05f);
  EXPECT_EQ(raised(), Names{"portal_loop"});
  ASSERT_EQ(tracked_3d_sounds.size(), 1u);
  unsigned hum = tracked_3d_sounds[0];
  vec4f p;
  ASSERT_TRUE(get_sound_3d_pos(hum, p));
  EXPECT_FLOAT_EQ(p[0], -5.5f);  // the copy of x = 250.5 nearest the camera at 0
  EXPECT_FLOAT_EQ(p[2], 40.5f);
  update_gameobj(0.05f);
  EXPECT_EQ(raised(), Names{}) << "one hum per portal";

  // A new world stops the world's sounds; the hum starts again.
  stop_world_sounds();
  render_seconds(0.05);
  update_gameobj(0.05f);
  EXPECT_EQ(raised(), Names{"portal_loop"});

  unsigned second = tracked_3d_sounds.back();
  remove_all_gameobj();
  update_gameobj(0.05f);
  render_seconds(0.3);
  EXPECT_FALSE(is_sound_playing(second));
  EXPECT_EQ(raised(), Names{});
}

TEST_F(GameobjSounds, FlyingIntoAPortalAndDashingAreHeard)
{
  placePortal(30, 40);
  raised();
  Matrix44 camera;
  set_game_mode(play_mode);
  void* player = create_player(make4f(30.5f, 2.f, 30.f, 1.f));
  GameObj* obj = as_gameobj(static_cast<BaseObject*>(player));
  vec4f step = make4f(0, 0, 0.5f, 0);
  obj->move(0.05f, 1.f, &step, &camera, 1);  // a dash starts
  obj->move(0.05f, 1.f, &step, &camera, 1);  // and goes on
  EXPECT_EQ(raised(), Names{"generic_cast"});
  step = make4f(0, 0, 9.f, 0);
  obj->move(0.05f, 1.f, &step, &camera, 0);
  EXPECT_EQ(cur_game_mode, warp_mode);
  EXPECT_EQ(raised(), Names{"use_portal"});
  set_game_mode(nullptr);
}

TEST_F(GameobjSounds, MenuKeysClick)
{
  open_main_menu();
  isAppActive = true;
  push_input_event(INPUT_KEY_DOWN, 40, 0, 0, 0, 0);  // arrow down
  update_game_menu(0.05f);
  end_input_frame();
  EXPECT_EQ(raised(), Names{"main_menu"});
  update_game_menu(0.05f);
  EXPECT_EQ(raised(), Names{}) << "no key, no click";
}

}  // namespace

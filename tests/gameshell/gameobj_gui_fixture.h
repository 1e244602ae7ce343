// The real plug-in bound with its menus, fed through the input queue as the
// game feeds it, on an 800 x 600 back buffer with the pointer over nothing.
#pragma once

#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjHost.h"

#include "engine/app.h"
#include "engine/d3d_render.h"
#include "engine/input.h"

#include <gtest/gtest.h>

class GameobjGuiTest : public ::testing::Test
{
protected:
  void SetUp() override
  {
    init_input(nullptr);
    d3d_wd = 800;
    push_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, 0, 0);  // the pointer over no menu
    end_input_frame();
    d3d_ht = 600;
    isAppActive = true;
    load_gameobj_library(QM_GAMEOBJ_PLUGIN);
  }
  void TearDown() override
  {
    close_game_menu();
    unload_gameobj();
    destroy_queued_gui_elements();
    end_input_frame();
  }
  // One tick of the open menu, its layout as the frame would make it.
  static void tick()
  {
    update_game_menu(0.05f);
    if (cur_game_screen) cur_game_screen->restyle();
    end_input_frame();
  }
  // The n-th item of the open menu's panel (the title is child 0).
  static BaseGuiElement* item(int n)
  {
    BaseGuiElement* panel = cur_game_screen->root->children[0];
    return panel->children[n + 1];
  }
  static void press(int vk)
  {
    push_input_event(INPUT_KEY_DOWN, vk, 0, 0, -1, -1);
    push_input_event(INPUT_KEY_UP, vk, 0, 0, -1, -1);
  }
  static void move_to(BaseGuiElement* e)
  {
    vec4f r = e->rect;
    push_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, int((r[0] + r[2]) / 2), int((r[1] + r[3]) / 2));
  }
};

// Our plug-in's spells on a small world, cast as the player casts them: the
// spell chosen for the left button (through the saved choice), the button
// pressed, the plug-in's tick run. Each spell's work is checked cell by
// cell against the cells it must leave alone; mana pays for every cast.
#include "gameshell/controls.h"
#include "gameshell/gameModes.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjHost.h"
#include "gameshell/universe.h"

#include "gameobj/objects.h"

#include "engine/app.h"
#include "engine/d3d_render.h"
#include "engine/input.h"
#include "engine/streams.h"
#include "scripting/sqbind.h"
#include "worldrender/scenePasses.h"
#include "world/heightmapData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>
#include <functional>
#include <vector>

using namespace HeightmapData;

namespace
{
const float GROUND = 10.f;
const float CX = 100.f, CZ = 100.f;  // where every spell is aimed
const float DT = 0.05f;

class GameobjSpells : public ::testing::Test
{
protected:
  HSQUIRRELVM vm = nullptr;

  void SetUp() override
  {
    init_input(nullptr);
    d3d_wd = 800;
    d3d_ht = 600;
    isAppActive = true;
    end_input_frame();
    load_gameobj_library(QM_GAMEOBJ_PLUGIN);
    HeightmapData::reset();
    for (int i = 0; i < HMAP_CELLS; ++i) hmap[i] = target_hmap[i] = GROUND;
    local_player = create_player(make4f(CX, GROUND + 30.f, CZ, 1.f));
    look_down_at(CX, CZ);
    vm = open_script_vm(1024);
    sq_newtable(vm);
    cur_game_info = sqbind::SqObject::fromStack(vm, -1);
    sq_pop(vm, 1);
  }
  void TearDown() override
  {
    remove_all_gameobj();
    cur_game_info.reset();
    close_script_vm(vm);
    close_spells_ui();
    unload_gameobj();
    destroy_queued_gui_elements();
    end_input_frame();
  }

  static Player* player() { return local_player; }

  // The view from above, straight down onto (x, z).
  static void look_down_at(float x, float z)
  {
    cur_view_itm.row[0] = make4f(1, 0, 0, 0);
    cur_view_itm.row[1] = make4f(0, 0, 1, 0);
    cur_view_itm.row[2] = make4f(0, -1, 0, 0);
    cur_view_itm.row[3] = make4f(x, GROUND + 30.f, z, 1.f);
  }

  // cur_game_info["spells"] := values, then the plug-in reads it.
  void set_saved_spells(const std::vector<SQInteger>& values)
  {
    sq_pushobject(vm, cur_game_info.o);
    sq_pushstring(vm, "spells", -1);
    sq_newarray(vm, 0);
    for (SQInteger v : values) {
      sq_pushinteger(vm, v);
      sq_arrayappend(vm, -2);
    }
    sq_newslot(vm, -3, SQFalse);
    sq_pop(vm, 1);
  }
  std::vector<SQInteger> saved_spells()
  {
    std::vector<SQInteger> out;
    sq_pushobject(vm, cur_game_info.o);
    sq_pushstring(vm, "spells", -1);
    if (SQ_SUCCEEDED(sq_get(vm, -2))) {
      for (SQInteger i = 0; i < sq_getsize(vm, -1); ++i) {
        sq_pushinteger(vm, i);
        sq_get(vm, -2);
        SQInteger v = -1;
        sq_getinteger(vm, -1, &v);
        out.push_back(v);
        sq_pop(vm, 1);
      }
      sq_pop(vm, 1);
    }
    sq_pop(vm, 1);
    return out;
  }
  // The choice with these two spells on the buttons and every spell in the grid.
  void hold(int left, int right)
  {
    std::vector<SQInteger> v = {left, right};
    const int ids[] = {39, 40, 41, 43, 44, 45, 46, 47, 48, 49, 50, 51, 68, 71, 83};
    for (int id : ids) v.push_back(id);
    v.resize(2 + SPELL_GRID_NX * SPELL_GRID_NY, 0);
    set_saved_spells(v);
    load_spells();
  }

  // One play tick with the left spell button pressed: the cast, then the
  // objects' tick.
  void cast_left(int id)
  {
    hold(id, 0);
    push_input_event(INPUT_BUTTON_DOWN, 1, 0, 0, 10, 10);
    update_spells_ui(DT);
    push_input_event(INPUT_BUTTON_UP, 1, 0, 0, 10, 10);
    end_input_frame();
    update_gameobj(DT);
  }
  static void ticks(int n)
  {
    for (int i = 0; i < n; ++i) update_gameobj(DT);
  }
  static float fluid(int x, int z) { return water[z & 255][x & 255].amount; }
  static float target(int x, int z) { return target_hmap[cell_index(x, z)]; }

  // Every cell of the square of half-size `reach` round the aim point whose
  // value differs from `before` by more than 1e-6 lies where `inside` says.
  template <class Value, class Inside>
  static int changed_cells(Value value, float before, int reach, Inside inside)
  {
    int changed = 0;
    for (int z = int(CZ) - reach; z <= int(CZ) + reach; ++z)
      for (int x = int(CX) - reach; x <= int(CX) + reach; ++x) {
        const bool moved = std::fabs(value(x, z) - before) > 1e-6f;
        if (moved) ++changed;
        EXPECT_TRUE(!moved || inside(float(x) - CX, float(z) - CZ)) << "cell " << x << "," << z << " changed";
      }
    return changed;
  }
};

float d_of(float dx, float dz) { return std::sqrt(dx * dx + dz * dz); }

// Hill and Pit move the target heights of a round patch, fully at its
// centre and smoothly to nothing at its rim; outside it nothing moves.
TEST_F(GameobjSpells, HillAndPitMoveTheTargetsOfTheirRadiusOnly)
{
  struct Case
  {
    int id;
    float sign;
  } cases[] = {{44, 1.f}, {45, -1.f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    for (int i = 0; i < HMAP_CELLS; ++i) hmap[i] = target_hmap[i] = GROUND;
    cast_left(c.id);
    const float r = 7.f, h = 5.f;
    EXPECT_FLOAT_EQ(target(100, 100), GROUND + c.sign * h);
    for (int dz = -10; dz <= 10; ++dz)
      for (int dx = -10; dx <= 10; ++dx) {
        const float d = d_of(float(dx), float(dz));
        const float k = d < r ? 1.f - d * d / (r * r) : 0.f;
        EXPECT_NEAR(target(100 + dx, 100 + dz), GROUND + c.sign * h * k * k, 1e-4f) << dx << "," << dz;
      }
    // The land itself follows: after a tick of the world's height morph it
    // has moved toward the new target at the centre, and only there.
    updateHmap(DT);
    EXPECT_NE(hmap[cell_index(100, 100)], GROUND);
    EXPECT_EQ(hmap[cell_index(100, 110)], GROUND);
  }
}

// The view is traced against the land: a slanted view hits the slope it
// looks at, not the ground under the player.
TEST_F(GameobjSpells, AimingFollowsTheViewToTheLand)
{
  const float s = std::sqrt(0.5f);
  cur_view_itm.row[2] = make4f(0, -s, s, 0);
  cur_view_itm.row[3] = make4f(CX, GROUND + 20.f, CZ - 20.f, 1.f);
  cast_left(44);
  EXPECT_EQ(target(100, 80), GROUND);  // under the player: untouched
  float best = -1.f;
  int best_z = 0;
  for (int z = 90; z <= 110; ++z)
    if (target(100, z) > best) best = target(100, z), best_z = z;
  EXPECT_NEAR(float(best_z), CZ, 2.f);

  // Looking up at the sky meets no land: a land spell is not cast.
  for (int i = 0; i < HMAP_CELLS; ++i) target_hmap[i] = GROUND;
  const float mana = player()->mana;
  cur_view_itm.row[2] = make4f(0, 1, 0, 0);
  cast_left(44);
  EXPECT_EQ(changed_cells(target, GROUND, 20, [](float, float) { return false; }), 0);
  EXPECT_GE(player()->mana, mana);
}

// Fracture is the world's fault: a step across the view through the
// target, inside the fault's ellipse (64 across, 128 along) and nowhere else.
TEST_F(GameobjSpells, FractureStepsTheLandInsideTheFaultEllipse)
{
  const float s = std::sqrt(0.5f);
  cur_view_itm.row[2] = make4f(0, -s, s, 0);
  cur_view_itm.row[3] = make4f(CX, GROUND + 20.f, CZ - 20.f, 1.f);
  cast_left(41);
  float lo = 1e9f, hi = -1e9f;
  for (int z = 0; z < 256; ++z)
    for (int x = 0; x < 256; ++x) {
      // The shorter way round the wrapping world.
      float dx = std::remainder(float(x) - CX, 256.f), dz = std::remainder(float(z) - CZ, 256.f);
      const float q = (dz / 64.f) * (dz / 64.f) + (dx / 128.f) * (dx / 128.f);
      const float t = target(x, z);
      if (q >= 1.06f) {
        EXPECT_EQ(t, GROUND) << x << "," << z;
      }
      lo = std::min(lo, t);
      hi = std::max(hi, t);
    }
  EXPECT_NEAR(hi - lo, 4.f, 0.5f);
  // The near side and the far side of the step differ.
  EXPECT_GT(std::fabs(target(100, 90) - target(100, 110)), 2.f);
}

// Sources pour rate * (1 - d / r) a second into the cells of their radius
// for their time, then go; a sink takes water out the same way.
TEST_F(GameobjSpells, WaterSourceAndSinkChangeTheWaterOfTheirRadiusEveryTick)
{
  cast_left(47);
  ASSERT_EQ(WaterSource_list.num, 1);
  ticks(9);  // ten ticks of flow with the cast's own
  EXPECT_NEAR(fluid(100, 100), 10 * 0.8f * DT, 1e-5f);
  EXPECT_NEAR(fluid(102, 100), 10 * 0.8f * DT * (1.f - 2.f / 3.f), 1e-5f);
  EXPECT_EQ(changed_cells(fluid, 0.f, 8, [](float dx, float dz) { return d_of(dx, dz) < 3.f; }), 25);
  ticks(600);
  EXPECT_EQ(WaterSource_list.num, 0);  // 30 seconds of flow, then gone
  const float after = fluid(100, 100);
  ticks(5);
  EXPECT_EQ(fluid(100, 100), after);

  // A sink on a lake of depth 1.
  for (int z = 0; z < 256; ++z)
    for (int x = 0; x < 256; ++x) water[z][x].amount = 1.f;
  cast_left(48);
  ticks(9);
  EXPECT_NEAR(fluid(100, 100), 1.f - 10 * 0.8f * DT, 1e-5f);
  changed_cells(fluid, 1.f, 10, [](float dx, float dz) { return d_of(dx, dz) < 5.f; });
  ticks(1000);
  EXPECT_EQ(fluid(100, 100), 0.f);  // emptied, never below dry
}

// The volcano raises a cone and wells lava from its top for a while.
TEST_F(GameobjSpells, VolcanoRaisesAConeAndPoursLava)
{
  cast_left(46);
  EXPECT_FLOAT_EQ(target(100, 100), GROUND + 4.f);
  changed_cells(target, GROUND, 12, [](float dx, float dz) { return d_of(dx, dz) < 8.f; });
  ASSERT_EQ(LavaSource_list.num, 1);
  ticks(19);
  EXPECT_NEAR(fluid(100, 100), -20 * 0.6f * DT, 1e-5f);
  changed_cells(fluid, 0.f, 12, [](float dx, float dz) { return d_of(dx, dz) < 3.2f; });
}

// Missiles fly along the view (or fall from the sky) and act where they land.
TEST_F(GameobjSpells, WaterGlobeAndMeteorActWhereTheyLand)
{
  cast_left(40);
  ASSERT_EQ(Waterball_list.num, 1);
  ticks(40);
  EXPECT_EQ(Waterball_list.num, 0);
  EXPECT_NEAR(fluid(100, 100), 1.5f, 1e-4f);
  changed_cells(fluid, 0.f, 8, [](float dx, float dz) { return d_of(dx, dz) < 3.f; });

  cast_left(43);
  ASSERT_EQ(MeteorMissile_list.num, 1);
  ticks(100);
  EXPECT_EQ(MeteorMissile_list.num, 0);
  EXPECT_LT(target(100, 100), GROUND - 1.f);  // a bowl
  // A crater only ever lowers, out to twice its radius.
  changed_cells(target, GROUND, 16, [](float dx, float dz) { return d_of(dx, dz) < 12.5f; });  // it lands within a step of the aim
  for (int z = 84; z <= 116; ++z)
    for (int x = 84; x <= 116; ++x) EXPECT_LE(target(x, z), GROUND);
}

// A thunderstorm rains on its disc and strikes for its time, then goes.
TEST_F(GameobjSpells, ThunderstormRainsOnItsDiscForItsTime)
{
  cast_left(49);
  ASSERT_EQ(ThunderstormObject_list.num, 1);
  ticks(19);
  EXPECT_NEAR(fluid(100, 100), 20 * 0.04f * DT, 1e-5f);
  EXPECT_NEAR(fluid(110, 100), 20 * 0.04f * DT, 1e-5f);
  changed_cells(fluid, 0.f, 20, [](float dx, float dz) { return d_of(dx, dz) < 14.f; });
  ticks(300);
  EXPECT_EQ(ThunderstormObject_list.num, 0);
}

// Castle and guard tower are built from the house templates round the
// target cell; each leaves its object.
TEST_F(GameobjSpells, CastleAndTowerAreBuiltWhereAimed)
{
  struct Case
  {
    int id;
    int half;
    DynArray<CastleObject*>* castles;
  } cases[] = {{68, 9, &CastleObject_list}, {83, 2, nullptr}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.id);
    HeightmapData::reset();
    for (int i = 0; i < HMAP_CELLS; ++i) hmap[i] = target_hmap[i] = GROUND;
    const int castles = CastleObject_list.num, towers = GuardTower_list.num;
    cast_left(c.id);
    EXPECT_EQ(CastleObject_list.num, castles + (c.castles ? 1 : 0));
    EXPECT_EQ(GuardTower_list.num, towers + (c.castles ? 0 : 1));
    EXPECT_NE(cell_marks(surface[cell_index(100, 100)].bits) & MARK_HOUSE, 0u);
    const int h = c.half;
    changed_cells(target, GROUND, 14, [h](float dx, float dz) {
      return dx >= -h && dx <= h && dz >= -h && dz <= h;
    });
  }
}

// Mana: each cast pays its cost; without enough the spell is not cast and
// nothing changes; it comes back at a steady rate up to the full bar.
TEST_F(GameobjSpells, CastsPayManaAndTooLittleManaCastsNothing)
{
  player()->mana = 100.f;
  cast_left(44);  // Hill: 15
  EXPECT_NEAR(player()->mana, 100.f - 15.f, 1e-4f);
  player()->mana = 10.f;
  for (int i = 0; i < HMAP_CELLS; ++i) target_hmap[i] = GROUND;
  cast_left(44);
  EXPECT_EQ(changed_cells(target, GROUND, 10, [](float, float) { return false; }), 0);
  EXPECT_NEAR(player()->mana, 10.f + 2.f * DT, 1e-4f);  // regained, nothing paid

  for (int i = 0; i < 100; ++i) update_spells_ui(DT);
  EXPECT_NEAR(player()->mana, 10.f + 2.f * 101 * DT, 1e-3f);
  for (int i = 0; i < 2000; ++i) update_spells_ui(DT);
  EXPECT_EQ(player()->mana, 100.f);

  // The developer's endless mana casts for nothing.
  toggle_mana_cheat();
  player()->mana = 0.f;
  cast_left(45);
  EXPECT_LT(target(100, 100), GROUND);
  toggle_mana_cheat();
}

// Healing restores health up to the full bar. Use portal carries the player into the portal nearest the aim and
// needs one.
TEST_F(GameobjSpells, HealingAndUsePortalActOnThePlayer)
{
  player()->health = 30.f;
  player()->mana = 100.f;
  cast_left(50);
  EXPECT_FLOAT_EQ(player()->health, 70.f);
  cast_left(50);
  cast_left(50);
  EXPECT_FLOAT_EQ(player()->health, 100.f);  // never past the full bar

  cast_left(71);  // no portal here
  EXPECT_FLOAT_EQ(player()->pos[0], CX);
  bind_gameobj(vm);
  sq_pushroottable(vm);
  sq_pushstring(vm, "place_portal", -1);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_get(vm, -2)));
  sq_pushroottable(vm);
  sq_pushinteger(vm, 140);
  sq_pushinteger(vm, 90);
  sq_pushinteger(vm, 2);
  ASSERT_TRUE(SQ_SUCCEEDED(sq_call(vm, 4, SQFalse, SQTrue)));
  sq_pop(vm, 2);
  ASSERT_EQ(WorldPortal_list.num, 1);
  cast_left(71);
  EXPECT_FLOAT_EQ(player()->pos[0], 140.5f);
  EXPECT_FLOAT_EQ(player()->pos[2], 90.5f);
}

// The choice of spells goes into the game's table and comes back; a
// damaged or missing entry gives the first-game choice (Hill and Pit, every
// spell in the grid).
TEST_F(GameobjSpells, TheSpellChoiceIsSavedWithTheGameAndCheckedOnLoad)
{
  hold(39, 83);
  save_spells();
  std::vector<SQInteger> saved = saved_spells();
  ASSERT_EQ(saved.size(), size_t(2 + SPELL_GRID_NX * SPELL_GRID_NY));
  EXPECT_EQ(saved[0], 39);
  EXPECT_EQ(saved[1], 83);
  EXPECT_EQ(saved[2], 39);
  EXPECT_EQ(saved[16], 83);
  EXPECT_EQ(saved[17], 0);

  std::vector<std::vector<SQInteger>> damaged = {
      {39, 83},                                  // short
      std::vector<SQInteger>(32, 42),           // an id not in the table
      std::vector<SQInteger>(32, -1),
      std::vector<SQInteger>(33, 0),             // long
  };
  damaged[1][0] = 39;
  for (const auto& d : damaged) {
    set_saved_spells(d);
    load_spells();
    save_spells();
    std::vector<SQInteger> now = saved_spells();
    ASSERT_EQ(now.size(), size_t(32));
    EXPECT_EQ(now[0], 44);
    EXPECT_EQ(now[1], 45);
    EXPECT_EQ(now[2], 39);
    EXPECT_EQ(now[16], 83);
  }
  // A valid choice with empty places and no right spell stands as saved.
  std::vector<SQInteger> sparse(32, 0);
  sparse[0] = 51;
  sparse[5] = 51;
  set_saved_spells(sparse);
  load_spells();
  save_spells();
  EXPECT_EQ(saved_spells(), sparse);
}

// The spell screen opens on "Select spells": a spell button pressed over a
// spell puts it on that button, the keys move the focus and choose; while
// it is open the buttons cast nothing; "Select spells" closes it.
TEST_F(GameobjSpells, TheSpellScreenChoosesTheSpellsOfTheButtons)
{
  hold(44, 45);
  auto tick = [] {
    update_spells_ui(DT);
    if (spells_gui_screen) spells_gui_screen->restyle();
    end_input_frame();
  };
  auto key = [&](int vk) {
    push_input_event(INPUT_KEY_DOWN, vk, 0, 0, -1, -1);
    push_input_event(INPUT_KEY_UP, vk, 0, 0, -1, -1);
    tick();
  };
  key(17);  // Ctrl: "Select spells"
  ASSERT_NE(spells_gui_screen, nullptr);
  EXPECT_TRUE(spells_ui_active);
  EXPECT_TRUE(update_spells_ui_mouse(0.f));  // the pointer is the screen's

  // The boxes of the panel after its title, in grid order: Fireball first.
  BaseGuiElement* panel = spells_gui_screen->root->children[0];
  auto centre_of = [&](int i) {
    vec4f r = panel->children[1 + i]->rect;
    return std::make_pair(int((r[0] + r[2]) / 2), int((r[1] + r[3]) / 2));
  };
  auto click = [&](int i, int button) {
    auto c = centre_of(i);
    push_input_event(INPUT_MOUSE_MOVE, 0, 0, 0, c.first, c.second);
    tick();
    push_input_event(INPUT_BUTTON_DOWN, button, 0, 0, c.first, c.second);
    push_input_event(INPUT_BUTTON_UP, button, 0, 0, c.first, c.second);
    tick();
  };
  const float mana = player()->mana;
  click(0, 1);  // Fireball on the left
  click(14, 2);  // Guard tower on the right
  save_spells();
  EXPECT_EQ(saved_spells()[0], 39);
  EXPECT_EQ(saved_spells()[1], 83);
  EXPECT_EQ(Fireball_list.num, 0);  // chosen, not cast
  EXPECT_GE(player()->mana, mana);

  // Keys: the focus is on Guard tower; Right wraps to Fireball, Down goes a
  // row further (three to a row: Meteor), Enter: left; Left (Fracture),
  // Space: right.
  key(39);
  key(40);
  key(13);
  key(37);
  key(32);
  save_spells();
  EXPECT_EQ(saved_spells()[0], 43);
  EXPECT_EQ(saved_spells()[1], 41);

  key(17);
  EXPECT_EQ(spells_gui_screen, nullptr);
  EXPECT_FALSE(spells_ui_active);
  // Closed: the left button casts again.
  push_input_event(INPUT_BUTTON_DOWN, 1, 0, 0, 10, 10);
  update_spells_ui(DT);
  end_input_frame();
  EXPECT_EQ(MeteorMissile_list.num, 1);
}

// Spells in the middle of their work save with the world and go on after a
// load exactly as they would have; a damaged state is refused and leaves
// the objects as they were.
TEST_F(GameobjSpells, LiveSpellsSaveLoadAndGoOnAsBefore)
{
  const int kinds[] = {47, 46, 49, 39, 43, 40};
  for (int id : kinds) {
    player()->mana = 100.f;
    cast_left(id);
  }
  ticks(3);
  ASSERT_EQ(WaterSource_list.num, 1);
  ASSERT_EQ(LavaSource_list.num, 1);
  ASSERT_EQ(ThunderstormObject_list.num, 1);
  ASSERT_EQ(Fireball_list.num + MeteorMissile_list.num + Waterball_list.num, 3);
  auto saved = [] {
    MemoryOutputBuffer out;
    save_gameobjs(out);
    return std::string(out.bytes.data, out.bytes.data + out.bytes.num);
  };
  auto load = [](const std::string& bytes) {
    MemoryInputStream in(bytes.data(), int(bytes.size()));
    load_gameobjs(in);
  };
  const std::string first = saved();
  std::vector<Water> fluid_before(&water[0][0], &water[0][0] + HMAP_CELLS);
  std::vector<float> targets_before(target_hmap, target_hmap + HMAP_CELLS);
  std::vector<float> heights_before(hmap, hmap + HMAP_CELLS);  // lava meeting water raises the land

  // What the world does with the live spells over a second ...
  ticks(20);
  std::vector<float> water_after;
  for (int i = 0; i < HMAP_CELLS; ++i) water_after.push_back(water[i >> 8][i & 255].amount);
  std::vector<float> targets_after(target_hmap, target_hmap + HMAP_CELLS);

  // ... it does the same with the loaded ones.
  remove_all_gameobj();
  std::copy(fluid_before.begin(), fluid_before.end(), &water[0][0]);
  std::copy(targets_before.begin(), targets_before.end(), target_hmap);
  std::copy(heights_before.begin(), heights_before.end(), hmap);
  load(first);
  EXPECT_EQ(saved(), first);
  local_player = Player_list[0];
  ticks(20);
  for (int i = 0; i < HMAP_CELLS; ++i) {
    ASSERT_EQ(water[i >> 8][i & 255].amount, water_after[i]) << i;
    ASSERT_EQ(target_hmap[i], targets_after[i]) << i;
  }

  // The water source's time left as NaN: refused, nothing made or lost.
  remove_all_gameobj();
  load(first);
  local_player = Player_list[0];
  std::string bad = first;
  int p = 8;
  bool patched = false;
  for (uint32_t i = 0; i < *reinterpret_cast<const uint32_t*>(&first[4]); ++i) {
    uint32_t state;
    memcpy(&state, &first[p + 17], 4);
    if (first[p] == 2) {  // WaterSource: radius, rate, time left
      const float nan = std::nanf("");
      memcpy(&bad[p + 21 + 8], &nan, 4);
      patched = true;
    }
    p += 21 + int(state);
  }
  ASSERT_TRUE(patched);
  MemoryInputStream in(bad.data(), int(bad.size()));
  EXPECT_THROW(load_gameobjs(in), InputStream::Exception);
  EXPECT_EQ(WaterSource_list.num, 1);
  EXPECT_EQ(saved(), first);
}
}  // namespace

// Save slots: the files' byte layouts, saving and loading a slot and a world,
// entering and leaving worlds, the warp's second and the world icon.
#include "save_slot_fixture.h"

#include "gameshell/warpMode.h"

#include "scripting/scriptSave.h"

using namespace save_test;

namespace
{
std::string bytes_of(std::initializer_list<int> b)
{
  std::string s;
  for (int c : b) s.push_back(char(c));
  return s;
}

std::string le32(uint32_t v) { return bytes_of({int(v & 255), int((v >> 8) & 255), int((v >> 16) & 255), int(v >> 24)}); }

std::string saved_value(const sqbind::SqObject& v)
{
  MemoryOutputBuffer out;
  save_data(v, out);
  return std::string(out.bytes.data, size_t(out.bytes.num));
}

template <typename T>
std::string raw(const T& v)
{
  return std::string(reinterpret_cast<const char*>(&v), sizeof(T));
}
}  // namespace

TEST(SaveSlotPaths, FollowTheApplicationDataFolder)
{
  setenv("XDG_DATA_HOME", "/data/home", 1);
  EXPECT_STREQ(get_saved_games_folder().c_str(), "/data/home/Quillmere/saves");
  EXPECT_STREQ(saved_game_path(3, "info").c_str(), "/data/home/Quillmere/saves/3/info");
  EXPECT_STREQ(saved_game_path(12, "").c_str(), "/data/home/Quillmere/saves/12/");
  EXPECT_STREQ(world_file_name(0).c_str(), "w000");
  EXPECT_STREQ(world_file_name(42).c_str(), "w042");
  EXPECT_STREQ(world_file_name(1234).c_str(), "w1234");
  // A path that does not fit names no file at all rather than a cut one.
  std::string deep = "/" + std::string(250, 'd');
  setenv("XDG_DATA_HOME", deep.c_str(), 1);
  EXPECT_STREQ(saved_game_path(0, "info").c_str(), "");
  unsetenv("XDG_DATA_HOME");
}

// ---- layouts ----

TEST_F(SaveSlot, InfoAndUniHoldTheirHeadersAndOneTaggedValue)
{
  ASSERT_FALSE(fs::exists(slot_dir()));
  ASSERT_TRUE(save_game()) << error_text();

  // "info": magic, version, then the game's table: {name = "Game first"}
  // and the plug-in's spell choice.
  std::string info = read_bytes(slot_path("info"));
  std::string expected_info = bytes_of({0x00, 0x04, 0x11, 0x13, 0x00, 0x23, 0x07, 0x14}) + saved_value(cur_game_info);
  EXPECT_EQ(info, expected_info);
  std::string name_slot = bytes_of({2, 4, 0, 0, 0}) + "name" + bytes_of({2, 10, 0, 0, 0}) + "Game first";
  EXPECT_NE(info.find(name_slot), std::string::npos);

  // "uni": version, then the universe as one value.
  std::string uni = read_bytes(slot_path("uni"));
  EXPECT_EQ(uni, le32(0x14072300) + saved_value(universe));

  // Not in a world: only these two files and the empty lock file, nothing left over.
  auto files = folder_contents(slot_dir());
  EXPECT_EQ(files.size(), 3u);
  EXPECT_TRUE(files.count("info") && files.count("uni") && files.count("lock"));
  EXPECT_EQ(files["lock"], "");
}

TEST_F(SaveSlot, AWorldFileHoldsTheWorldBlockSunCameraAndObjects)
{
  set_entered_world(2);
  ASSERT_TRUE(save_game()) << error_text();
  std::string w = read_bytes(slot_path("w002"));
  ASSERT_EQ(w.size() > 4u + HeightmapData::WORLD_DATA_SIZE + 32u, true);

  size_t at = 0;
  auto take = [&](size_t n) {
    std::string s = w.substr(at, n);
    at += n;
    return s;
  };
  EXPECT_EQ(take(4), bytes_of({0x00, 0x26, 0x06, 0x14}));
  EXPECT_EQ(take(sizeof(HeightmapData::hmap)), raw(HeightmapData::hmap));
  EXPECT_EQ(take(sizeof(HeightmapData::target_hmap)), raw(HeightmapData::target_hmap));
  EXPECT_EQ(take(sizeof(HeightmapData::surface)), raw(HeightmapData::surface));
  EXPECT_EQ(take(0x100000), std::string(reinterpret_cast<const char*>(HeightmapData::water), 0x100000));
  const float sun[4] = {sky_sun_dir_target[0], sky_sun_dir_target[1], sky_sun_dir_target[2], sky_sun_dir_target[3]};
  EXPECT_EQ(take(16), raw(sun));
  EXPECT_EQ(take(4), raw(sky_sun_constant));
  EXPECT_EQ(take(4), raw(camera_heading));
  EXPECT_EQ(take(4), raw(camera_pitch));
  EXPECT_EQ(take(4), raw(camera_roll));
  // The rest is the plug-in's own.
  MemoryOutputBuffer objects;
  save_gameobjs(objects);
  EXPECT_EQ(w.substr(at), std::string(objects.bytes.data, size_t(objects.bytes.num)));
}

// ---- round trips ----

TEST_F(SaveSlot, ASlotAndItsWorldLoadBackAsTheyWereSaved)
{
  set_entered_world(1);
  ASSERT_TRUE(save_game());
  std::string saved_block = read_bytes(slot_path("w001")).substr(4, HeightmapData::WORLD_DATA_SIZE);
  vec4f sun = sky_sun_dir_target;
  float heading = camera_heading;

  // Another game and world in memory, and the fluid grids swapped.
  new_game(9, "other");
  cur_game_slot = 4;
  make_world(5);
  std::swap(HeightmapData::water, HeightmapData::tmpw);
  remove_all_gameobj();
  camera_heading = 3.f;

  ASSERT_TRUE(load_saved_game(0)) << error_text();
  EXPECT_EQ(cur_game_slot, 0);
  EXPECT_EQ(entered(), 1);
  EXPECT_EQ(sqbind::get_int_slot(universe.vm, universe.o, "seed"), 1);
  EXPECT_TRUE(worlds.getType() == OT_ARRAY);

  ASSERT_TRUE(load_world(1)) << error_text();
  MemoryOutputBuffer block;
  HeightmapData::saveWorldData(block);
  EXPECT_TRUE(std::string(block.bytes.data, size_t(block.bytes.num)) == saved_block);
  EXPECT_EQ(memcmp(HeightmapData::water, HeightmapData::tmpw, 0x100000), 0);
  EXPECT_TRUE(v_all(v_cmp_eq(sky_sun_dir_target, sun)));
  EXPECT_EQ(camera_heading, heading);
  ASSERT_EQ(Player_list.num, 1);
  EXPECT_EQ(local_player, Player_list[0]);
  EXPECT_FLOAT_EQ(pos_of(local_player)[0], 1.f);
  EXPECT_EQ(CastleObject_list.num, 1);
}

TEST_F(SaveSlot, NamesAndVersionsOfSlots)
{
  ASSERT_TRUE(save_game());
  std::string info = read_bytes(slot_path("info"));
  std::string other_version = info;
  other_version[4] = 0x01;
  std::string other_magic = info;
  other_magic[0] = 0x01;

  struct
  {
    const char* what;
    std::string bytes;  // empty: no file
    const char* name;
    bool outdated;
    const char* load_error;  // null: loads
  } cases[] = {
      {"this version", info, "Game first", false, nullptr},
      {"another save version", other_version, "Game first", true, "Error loading the game:\nUnsupported saved game version"},
      {"another kind of file", other_magic, "? ? ?", true, "Error loading the game:\nUnsupported saved game version"},
      {"no info file", "", "", false, "Error loading the game:\nCan't open input file"},
  };
  for (auto& c : cases) {
    if (c.bytes.empty())
      fs::remove(slot_path("info"));
    else
      write_bytes(slot_path("info"), c.bytes);
    bool outdated = !c.outdated;
    EXPECT_STREQ(get_saved_game_name(0, outdated).c_str(), c.name) << c.what;
    EXPECT_EQ(outdated, c.outdated) << c.what;
    cur_game_slot = 7;
    EXPECT_EQ(load_saved_game(0), c.load_error == nullptr) << c.what;
    if (c.load_error) {
      EXPECT_EQ(error_text(), c.load_error) << c.what;
      EXPECT_EQ(cur_game_slot, 7) << c.what << ": a failed load keeps the game in memory";
    }
  }
  bool outdated = true;
  EXPECT_STREQ(get_saved_game_name(-1, outdated).c_str(), "");
  EXPECT_FALSE(outdated);
}

TEST_F(SaveSlot, WithoutASlotOrAUniverseNothingIsWritten)
{
  cur_game_slot = -1;
  EXPECT_FALSE(save_game());
  EXPECT_EQ(error_text(), "No slot selected for the saved game");
  EXPECT_FALSE(load_saved_game(-1));
  EXPECT_EQ(error_text(), "No slot selected for loading the game");
  EXPECT_FALSE(fs::exists(get_saved_games_folder().c_str()));

  // Back in the main menu the universe is gone but the slot number stays:
  // a save then must not replace the slot's game with an empty one.
  cur_game_slot = 0;
  ASSERT_TRUE(save_game());
  auto before = folder_contents(slot_dir());
  release_universe_data();
  EXPECT_FALSE(save_game());
  EXPECT_EQ(error_text().rfind("Error saving the game:\n", 0), 0u) << error_text();
  EXPECT_EQ(folder_contents(slot_dir()), before);
}

// ---- entering and leaving ----

TEST_F(SaveSlot, AFirstVisitGeneratesAndSavesAndALaterOnePutsANewPlayerAtTheCastle)
{
  // First visit: generated with "game" and written at once.
  choose_world(1);
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_EQ(error_text(), "");
  ASSERT_TRUE(fs::exists(slot_path("w001")));
  EXPECT_TRUE(script_true("generated.len() == 1 && generated[0] == \"game\""));
  ASSERT_EQ(CastleObject_list.num, 1);
  vec4f castle = pos_of(CastleObject_list[0]);

  // Again: the file is loaded, its player replaced by a new one at the castle.
  struct
  {
    int castles;
    bool at_castle;
  } cases[] = {{1, true}, {0, false}, {2, false}};
  for (auto& c : cases) {
    // A world file with that many castles and the player away from them.
    remove_all_gameobj();
    for (int i = 0; i < c.castles; i++) run("place_castle(40, 50);");
    create_player(make4f(100.f, 20.f, 100.f, 1.f));
    ASSERT_TRUE(save_world(slot_path("w001").c_str()));
    remove_all_gameobj();

    choose_world(1);
    EXPECT_EQ(cur_game_mode, play_mode);
    ASSERT_EQ(Player_list.num, 1) << c.castles << " castles";
    EXPECT_EQ(local_player, Player_list[0]);
    vec4f p = pos_of(local_player);
    vec4f want = c.at_castle ? castle : make4f(0.f, 0.f, 0.f, 1.f);
    EXPECT_FLOAT_EQ(p[0], want[0]) << c.castles << " castles";
    EXPECT_FLOAT_EQ(p[2], want[2]) << c.castles << " castles";
  }
}

TEST_F(SaveSlot, AWorldFileThatDoesNotLoadIsReportedAndNeverReplaced)
{
  set_entered_world(0);
  ASSERT_TRUE(save_game());
  std::string w = read_bytes(slot_path("w000"));
  w[4 + 8] = char(0xFF), w[4 + 9] = char(0xFF), w[4 + 10] = char(0xFF), w[4 + 11] = char(0xFF);  // a NaN height
  write_bytes(slot_path("w000"), w);
  auto before = folder_contents(slot_dir());

  choose_world(0);
  EXPECT_EQ(cur_game_mode, universe_mode);
  EXPECT_EQ(error_text().rfind("Error loading the world:\n", 0), 0u) << error_text();
  EXPECT_EQ(entered(), -1) << "on the map again";
  EXPECT_EQ(folder_contents(slot_dir()), before);

  // A save on the map now does not touch the world's file either.
  ASSERT_TRUE(save_game());
  EXPECT_EQ(read_bytes(slot_path("w000")), w);
}

TEST_F(SaveSlot, ASlotSavedInsideAWorldResumesThere)
{
  set_entered_world(2);
  ASSERT_TRUE(save_game());
  ASSERT_TRUE(load_saved_game(0));
  remove_all_gameobj();
  cur_game_mode = nullptr;
  set_game_mode(universe_mode);
  EXPECT_EQ(cur_game_mode, play_mode);
  ASSERT_EQ(Player_list.num, 1);
  EXPECT_FLOAT_EQ(pos_of(local_player)[0], 1.f) << "the player of the file";
}

TEST_F(SaveSlot, LeavingSavesSimulatesAndReturnsToTheMap)
{
  choose_world(0);
  ASSERT_EQ(cur_game_mode, play_mode);
  // Water to run downhill during the minute without the player.
  for (int i = 0; i < 256; i++) HeightmapData::water[128][i].amount = 3.f;
  std::string entered_file = read_bytes(slot_path("w000"));

  leave_world();
  EXPECT_EQ(cur_game_mode, universe_mode);
  EXPECT_EQ(local_player, nullptr);
  EXPECT_EQ(Player_list.num, 0);
  EXPECT_EQ(entered(), -1);
  EXPECT_EQ(error_text(), "");

  // The file holds the world as the minute left it; "uni" is on the map.
  std::string w = read_bytes(slot_path("w000"));
  EXPECT_NE(w, entered_file);
  MemoryOutputBuffer block;
  HeightmapData::saveWorldData(block);
  EXPECT_TRUE(w.substr(4, HeightmapData::WORLD_DATA_SIZE) == std::string(block.bytes.data, size_t(block.bytes.num)));
  std::string uni = read_bytes(slot_path("uni"));
  EXPECT_EQ(uni, le32(0x14072300) + saved_value(universe));
}

TEST_F(SaveSlot, LeavingWithoutAGameMakesANewWorldAndStaysInPlay)
{
  release_universe_data();
  cur_game_slot = -1;
  cur_game_mode = nullptr;
  leave_world();
  EXPECT_EQ(cur_game_mode, play_mode);
  EXPECT_NE(local_player, nullptr);
  EXPECT_FALSE(fs::exists(get_saved_games_folder().c_str()));
}

TEST_F(SaveSlot, TheScriptSavesAndLeavesThroughItsNatives)
{
  set_entered_world(1);
  run("::saved <- save_game();");
  EXPECT_TRUE(script_true("saved == true"));
  EXPECT_TRUE(fs::exists(slot_path("w001")));

  cur_game_slot = -1;
  run("::saved <- save_game();");
  EXPECT_TRUE(script_true("saved == false"));

  release_universe_data();
  cur_game_mode = nullptr;
  run("leave_world();");
  EXPECT_EQ(cur_game_mode, play_mode);
}

TEST_F(SaveSlot, TheWarpLastsOneSecondAndThenLeavesTheWorld)
{
  release_universe_data();  // leave_world then stays in play with a new world
  cur_game_mode = nullptr;
  set_game_mode(warp_mode);
  for (int i = 0; i < 19; i++) warp_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, warp_mode);
  warp_mode->update(0.05f);
  EXPECT_EQ(cur_game_mode, play_mode);
}

TEST(WarpMode, OnlyFramesTenMillisecondsApartAdvanceTheWarp)
{
  WarpMode w;
  w.enter(nullptr);
  struct
  {
    float update_dt;  // a tick before the frame, 0 for none
    float t;          // the frame's time since the tick
    float x, effect_time;
  } frames[] = {
      {0.f, 0.005f, 0.f, 0.f},       // too soon after the start
      {0.f, 0.02f, 0.02f, 0.02f},
      {0.f, 0.025f, 0.f, 0.02f},     // 5 ms later: the picture stays
      {0.05f, 0.f, 0.03f, 0.05f},    // after a tick the frame time starts again
      {0.f, 0.0099f, 0.f, 0.05f},
  };
  for (auto& f : frames) {
    if (f.update_dt > 0.f) w.update(f.update_dt);
    EXPECT_FLOAT_EQ(w.countFrame(f.t), f.x) << f.t;
    EXPECT_FLOAT_EQ(w.effect_time, f.effect_time) << f.t;
  }
}

// ---- world icons ----

TEST(WorldIcon, SizesItsQuadAndFadesItsEdge)
{
  struct
  {
    float size;
    uint32_t c3;
    float r;
    uint32_t alpha;
  } cases[] = {
      {10.f, 0, 11.f, 76},        // 765 / 10 = 76.5, ties to even
      {10.f, 0xFF00FF00u, 16.f, 76},  // a ring widens the quad
      {3.f, 0, 4.f, 255},
      {2.f, 0, 3.f, 126},         // 382.5 -> 382, low byte 126
  };
  for (auto& c : cases) {
    RenderBatch batch;
    render_world_icon(batch, 100.f, 50.f, c.size, 0x11223344u, 0xAABBCCDDu, c.c3);
    ASSERT_EQ(batch.entries.num, 1);
    RenderBatch::Chunk* chunk = batch.entries[0].first;
    EXPECT_EQ(chunk->bytes, 168);
    EXPECT_EQ(chunk->count, 2);
    const float* v = reinterpret_cast<const float*>(chunk->data());
    const uint32_t* u = reinterpret_cast<const uint32_t*>(chunk->data());
    float t = c.r / c.size;
    // Vertex 0 is the top-left corner, vertex 2 the bottom-right one.
    EXPECT_FLOAT_EQ(v[0], 100.f - c.r) << c.size;
    EXPECT_FLOAT_EQ(v[1], 50.f - c.r) << c.size;
    EXPECT_FLOAT_EQ(v[2], -t) << c.size;
    EXPECT_FLOAT_EQ(v[14 + 0], 100.f + c.r) << c.size;
    EXPECT_FLOAT_EQ(v[14 + 3], t) << c.size;
    EXPECT_EQ(u[4], 0xAABBCCDDu);
    EXPECT_EQ(u[5], (c.alpha << 24) | 0x223344u) << c.size;
    EXPECT_EQ(u[6], c.c3);
  }
  RenderBatch batch;
  render_world_icon(batch, 0.f, 0.f, 0.f, 1u, 2u, 3u);
  EXPECT_EQ(batch.entries.num, 0) << "no icon of size 0";
}

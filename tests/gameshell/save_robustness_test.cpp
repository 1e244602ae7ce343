// A save slot survives what happens to files: a process killed at any moment
// while saving leaves every file whole (old or new), and damaged or cut files
// are refused with the on-screen message, leaving the disk as it was and
// the world in memory as it was.
#include "save_slot_fixture.h"

#include <chrono>
#include <csignal>
#include <random>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace save_test;

namespace
{
struct SlotState
{
  std::map<std::string, std::string> files;  // info, uni, w000
  std::string objects;                       // the plug-in's saved objects
};

// Two games saved alternately: every file differs between them, in size too.
class SaveRobustness : public SaveSlot
{
protected:
  SlotState a, b;

  void prepare_states()
  {
    make_state(2, "second state of the game", b);
    make_state(1, "first", a);  // a stays on disk and in memory
  }

  void make_state(int seed, const char* tag, SlotState& out)
  {
    new_game(seed, tag);
    set_entered_world(0);
    make_world(seed);
    if (seed == 2) run("place_castle(90, 91);");
    ASSERT_TRUE(save_game()) << error_text();
    for (const char* f : {"info", "uni", "w000"}) out.files[f] = read_bytes(slot_path(f));
    out.objects = out.files["w000"].substr(4 + HeightmapData::WORLD_DATA_SIZE + 32);
  }

  // Memory to a saved state again, for the saving child. The objects come
  // back from their saved form, so they keep their serial ids.
  void switch_to(const SlotState& state, int seed, const char* tag)
  {
    new_game(seed, tag);
    set_entered_world(0);
    make_world_state(seed);
    remove_all_gameobj();
    MemoryInputStream in(state.objects.data(), int(state.objects.size()));
    load_gameobjs(in);
  }

  // The three files are each exactly one of the two states, and the slot loads.
  void expect_whole_slot(int round)
  {
    for (const char* f : {"info", "uni", "w000"}) {
      std::string bytes = read_bytes(slot_path(f));
      EXPECT_TRUE(bytes == a.files[f] || bytes == b.files[f]) << f << " in round " << round << ": " << bytes.size();
    }
    EXPECT_TRUE(load_saved_game(0)) << "round " << round << ": " << error_text();
    EXPECT_TRUE(load_world(0)) << "round " << round << ": " << error_text();
  }
};

TEST_F(SaveRobustness, AProcessKilledWhileSavingLeavesEveryFileOldOrNew)
{
  prepare_states();

  // How long one turn of the child takes here, to spread the kills over it.
  auto t0 = std::chrono::steady_clock::now();
  switch_to(a, 1, "first");
  ASSERT_TRUE(save_game());
  int turn_us = int(std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count());
  std::mt19937 rnd(12345);
  std::uniform_int_distribution<int> delay(0, 2 * turn_us);

  for (int round = 0; round < 200; round++) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    pid_t pid = fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      // The child saves the two states in turn until it is killed.
      if (!freopen("/dev/null", "w", stdout)) _exit(4);
      close(ready[0]);
      for (int i = 0;; i++) {
        if (i % 2)
          switch_to(b, 2, "second state of the game");
        else
          switch_to(a, 1, "first");
        if (i == 0 && write(ready[1], "r", 1) != 1) _exit(5);
        if (!save_game()) _exit(3);
      }
    }
    // The clock starts when the child is about to save for the first time.
    close(ready[1]);
    char c;
    ASSERT_EQ(read(ready[0], &c, 1), 1);
    close(ready[0]);
    usleep(useconds_t(delay(rnd)));
    kill(pid, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child failed to save: " << status;
    expect_whole_slot(round);
    if (HasFailure()) break;
  }
  debug("one turn of saving: %d us", turn_us);
}

// ---- damaged files ----

// Cuts and damages of each file, and the message each gives.
struct Damage
{
  const char* file;
  long at;        // where: from the start, or from the end when negative
  int length;     // bytes set to `byte`; 0: the file is cut at `at`; -1: `byte` is appended
  int byte;
  const char* message;  // what the on-screen message starts with
};

const char* const game_error = "Error loading the game:\n";
const char* const world_error = "Error loading the world:\n";

const Damage damages[] = {
    // cut files
    {"info", 0, 0, 0, game_error},
    {"info", 6, 0, 0, game_error},
    {"info", 12, 0, 0, game_error},
    {"info", -1, 0, 0, game_error},
    {"uni", 0, 0, 0, game_error},
    {"uni", 5, 0, 0, game_error},
    {"uni", -1, 0, 0, game_error},
    {"uni", -40, 0, 0, game_error},
    {"w000", 0, 0, 0, world_error},
    {"w000", 3, 0, 0, world_error},
    {"w000", 4 + 0x40000 + 17, 0, 0, world_error},
    {"w000", 4 + 0x240000 + 10, 0, 0, world_error},  // inside the sun
    {"w000", 4 + 0x240000 + 32, 0, 0, world_error},  // no objects at all
    {"w000", -1, 0, 0, world_error},
    // damaged headers
    {"info", 0, 1, 0x55, game_error},
    {"info", 5, 1, 0x55, game_error},
    {"uni", 2, 1, 0x55, game_error},
    {"w000", 1, 1, 0x55, world_error},
    // damaged tags, lengths and counts of the saved values
    {"info", 8, 1, 0x2A, game_error},     // the value's tag
    {"info", 9, 4, 0xFF, game_error},     // the table's count
    {"info", 13, 1, 0x07, game_error},    // the first key's tag
    {"info", 14, 4, 0x7F, game_error},    // the first key's length
    {"uni", 4, 1, 0x00, game_error},      // a null universe
    {"uni", 5, 4, 0xFF, game_error},      // the table's count
    {"uni", 5, 1, 0x01, game_error},      // a count too small: data left over
    {"uni", 9, 1, 0x0C, game_error},      // an object-graph tag for the first key
    // damaged world data: heights, targets, fluid, house tiles, sun, camera, objects
    {"w000", 4 + 400, 4, 0xFF, world_error},
    {"w000", 4 + 0x40000 + 4000, 4, 0xFF, world_error},
    {"w000", 4 + 0x140000 + 16 * 999, 4, 0xFF, world_error},
    {"w000", 4 + 0x80000 + 12 * 77 + 8, 4, 0xF0, world_error},  // a house tile of no material
    {"w000", 4 + 0x240000 + 4, 4, 0xFF, world_error},
    {"w000", 4 + 0x240000 + 24, 4, 0xFF, world_error},
    {"w000", 4 + 0x240000 + 32, 1, 0x00, world_error},  // the objects' header
    {"w000", 4 + 0x240000 + 36, 4, 0xFF, world_error},  // the object count
    // bytes after the last value
    {"info", 0, -1, 0x00, game_error},
    {"uni", 0, -1, 0x00, game_error},
    {"w000", 0, -1, 0x00, world_error},
};

std::string damaged(const std::string& bytes, const Damage& d)
{
  if (d.length < 0) return bytes + char(d.byte);
  size_t at = d.at >= 0 ? size_t(d.at) : bytes.size() - size_t(-d.at);
  if (d.length == 0) return bytes.substr(0, at);
  std::string s = bytes;
  for (int i = 0; i < d.length; i++) s[at + size_t(i)] = char(d.byte);
  return s;
}

std::string describe(const Damage& d)
{
  if (d.length < 0) return std::string(d.file) + " with a byte appended";
  return std::string(d.file) + (d.length ? " damaged at " : " cut at ") + std::to_string(d.at);
}

TEST_F(SaveRobustness, DamagedOrCutFilesAreRefusedAndChangeNothing)
{
  prepare_states();
  // In memory: the game and world of the other state.
  switch_to(b, 2, "second state of the game");
  cur_game_slot = 0;
  MemoryOutputBuffer world_before;
  HeightmapData::saveWorldData(world_before);

  for (const Damage& d : damages) {
    for (const auto& f : a.files) write_bytes(slot_path(f.first.c_str()), f.second);
    write_bytes(slot_path(d.file), damaged(a.files[d.file], d));
    auto disk = folder_contents(slot_dir());
    set_error_message(nullptr);

    bool world_file = std::string(d.file) == "w000";
    if (world_file) {
      // Entering the world from the map: refused, not generated, not saved.
      ASSERT_TRUE(load_saved_game(0)) << describe(d) << ": " << error_text();
      choose_world(0);
      EXPECT_EQ(cur_game_mode, universe_mode) << describe(d);
      EXPECT_EQ(script_int("generated.len()"), 0) << describe(d) << ": regenerated";
    } else {
      EXPECT_FALSE(load_saved_game(0)) << describe(d);
      EXPECT_EQ(cur_game_slot, 0) << describe(d);
      // The slot list does not name a game that does not load.
      bool outdated = false;
      if (std::string(d.file) == "info" && d.length != 1) {
        EXPECT_STREQ(get_saved_game_name(0, outdated).c_str(), "") << describe(d);
      }
    }
    EXPECT_EQ(error_text().rfind(d.message, 0), 0u) << describe(d) << ": " << error_text();
    EXPECT_EQ(folder_contents(slot_dir()), disk) << describe(d);

    // The world in memory is the one from before.
    MemoryOutputBuffer world_now;
    HeightmapData::saveWorldData(world_now);
    EXPECT_TRUE(world_now.bytes.num == world_before.bytes.num &&
                memcmp(world_now.bytes.data, world_before.bytes.data, size_t(world_now.bytes.num)) == 0)
        << describe(d);
    EXPECT_EQ(CastleObject_list.num, 2) << describe(d);
  }
}

// ---- a crash between saves, a full disk, a second game ----

TEST_F(SaveRobustness, AWorldResumedWithoutItsPlayerGetsOneAtTheCastle)
{
  // The game ended after leaving saved the world without its player but
  // before "enteredWorld" went back to -1.
  set_entered_world(0);
  make_world(1);
  ASSERT_EQ(CastleObject_list.num, 1);
  vec4f castle = pos_of(CastleObject_list[0]);
  as_gameobj(local_player)->destroy();
  local_player = nullptr;
  ASSERT_TRUE(save_game()) << error_text();

  ASSERT_TRUE(load_saved_game(0)) << error_text();
  remove_all_gameobj();
  cur_game_mode = nullptr;
  set_game_mode(universe_mode);
  EXPECT_EQ(cur_game_mode, play_mode);
  ASSERT_EQ(Player_list.num, 1);
  ASSERT_EQ(local_player, Player_list[0]);
  vec4f p = pos_of(local_player);
  EXPECT_FLOAT_EQ(p[0], castle[0]);
  EXPECT_FLOAT_EQ(p[2], castle[2]);
}

TEST_F(SaveRobustness, AWorldThatCannotBeSavedLeavesInfoAndUniAsTheyWere)
{
  set_entered_world(0);
  ASSERT_TRUE(save_game()) << error_text();
  auto before = folder_contents(slot_dir());

  // Another game in memory; its world file cannot be written (a folder is in
  // the way, as a full disk would stop it).
  new_game(2, "second");
  set_entered_world(1);
  make_world(2);
  fs::create_directory(slot_path("w001"));
  EXPECT_FALSE(save_game());
  EXPECT_EQ(error_text().rfind("Error saving the world:\n", 0), 0u) << error_text();
  fs::remove(slot_path("w001"));
  EXPECT_EQ(folder_contents(slot_dir()), before) << "info and uni must not name a world that was not saved";
}

TEST_F(SaveRobustness, ASlotInUseByAnotherGameIsNeitherWrittenNorLoaded)
{
  ASSERT_TRUE(save_game()) << error_text();
  // A process that died while saving left a temporary file.
  write_bytes(slot_path("uni.tmp.99999999"), "torn");
  auto before = folder_contents(slot_dir());

  // Another running game takes the slot: a lock of its own on the slot's lock file.
  release_slot_lock();
  int other = open(slot_path("lock").c_str(), O_RDWR);
  ASSERT_GE(other, 0);
  ASSERT_EQ(flock(other, LOCK_EX | LOCK_NB), 0);

  new_game(2, "second");
  EXPECT_FALSE(save_game());
  EXPECT_EQ(error_text(), "Error saving the game:\nThe slot is in use by another running game");
  EXPECT_FALSE(load_saved_game(0));
  EXPECT_EQ(error_text(), "Error loading the game:\nThe slot is in use by another running game");
  EXPECT_EQ(folder_contents(slot_dir()), before);

  // The other game ends: the slot is ours, the leftover goes, and the files
  // are whole under their final names only.
  close(other);
  new_game(2, "second");
  ASSERT_TRUE(save_game()) << error_text();
  auto after = folder_contents(slot_dir());
  std::vector<std::string> names;
  for (const auto& f : after) names.push_back(f.first);
  EXPECT_EQ(names, (std::vector<std::string>{"info", "lock", "uni"}));
  ASSERT_TRUE(load_saved_game(0)) << error_text();
  EXPECT_TRUE(script_true("universe.tag == \"second\""));
}
}  // namespace

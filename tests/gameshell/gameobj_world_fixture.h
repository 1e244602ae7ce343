// Our gameobj plug-in with a world script VM holding its classes, over flat
// land: scripts place objects, helpers save and load the world's objects
// as bytes. Objects are removed before the VM closes (their script
// instances live in it).
#pragma once

#include "gameshell/gameobjHost.h"

#include "engine/streams.h"
#include "scripting/sqbind.h"
#include "world/heightmapData.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>

class GameobjWorld : public ::testing::Test
{
protected:
  HSQUIRRELVM vm = nullptr;

  void SetUp() override
  {
    load_gameobj_library(QM_GAMEOBJ_PLUGIN);
    flat_land(1.f);
    vm = open_script_vm(1024);
    bind_gameobj(vm);
  }
  void TearDown() override
  {
    remove_all_gameobj();
    close_script_vm(vm);
    unload_gameobj();
  }

  static void flat_land(float height)
  {
    using namespace HeightmapData;
    std::fill(std::begin(hmap), std::end(hmap), height);
    std::fill(std::begin(target_hmap), std::end(target_hmap), height);
    for (Surface& cell : surface) cell.bits = GT_SOIL | (ST_GRASS << 4);
    for (int z = 0; z < HMAP_SIZE; z++)
      for (int x = 0; x < HMAP_SIZE; x++) water[z][x].amount = tmpw[z][x].amount = 0.f;
  }

  // Runs a script in the root table; false (with the VM's message printed)
  // when it does not compile or fails.
  bool run(const char* script)
  {
    if (!compile_script_buffer(vm, script, SQInteger(strlen(script)), "test")) return false;
    sq_pushroottable(vm);
    bool ok = SQ_SUCCEEDED(sq_call(vm, 1, SQFalse, SQTrue));
    sq_pop(vm, 1);
    return ok;
  }

  static std::string saved_objects()
  {
    MemoryOutputBuffer out;
    save_gameobjs(out);
    return std::string(out.bytes.data, size_t(out.bytes.num));
  }

  static void load_objects_from(const std::string& bytes)
  {
    MemoryInputStream in(bytes.data(), int(bytes.size()));
    load_gameobjs(in);
    EXPECT_EQ(in.tell(), int(bytes.size()));
  }

  // Runs the world for n ticks of 1/20 s.
  static void ticks(int n)
  {
    for (int i = 0; i < n; i++) update_gameobj(0.05f);
  }
};

// Process services: priority changes that never get stuck, the child-pipe
// byte count, dynamic libraries and the folder watcher.
#include <gtest/gtest.h>

#include "engine/dirWatch.h"
#include "engine/dynlib.h"
#include "engine/paths.h"
#include "engine/priority.h"
#include "engine/shellExec.h"
#include "support/test_dir.h"

#include <sys/resource.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;

static int nice_now()
{
  errno = 0;
  return getpriority(PRIO_PROCESS, 0);
}

TEST(Priority, IdleAndBackNeverLeavesTheProcessLower)
{
  int before = nice_now();
  for (int level : {0, 1, 2, 5, -1}) {
    set_process_priority(level);
    EXPECT_EQ(get_process_priority(), level);
    EXPECT_LE(nice_now(), before);   // raising may be refused, lowering never happens
    set_idle_priority(true);
    set_idle_priority(false);
    EXPECT_LE(nice_now(), before) << level;
  }
  set_process_priority(0);
  EXPECT_EQ(nice_now(), before);
}

TEST(PipeBytes, CountsBufferedAndWaitingBytesAndReportsTheEnd)
{
  EXPECT_EQ(pipe_bytes_available(nullptr), 0);
  FILE* p = popen("printf 'one\\ntwo\\n'", "r");
  ASSERT_NE(p, nullptr);
  // Wait for the writer to finish: then the pipe holds all eight bytes.
  for (int i = 0; i < 500 && pipe_bytes_available(p) < 8; ++i) usleep(2000);
  EXPECT_EQ(pipe_bytes_available(p), 8);
  char line[16];
  ASSERT_TRUE(fgets(line, sizeof(line), p));
  EXPECT_EQ(pipe_bytes_available(p), 4);   // read ahead into the stream's buffer
  ASSERT_TRUE(fgets(line, sizeof(line), p));
  // Empty with the writer gone: at least one byte, so the caller reads and
  // meets the end; after that, nothing. (The shell may still be exiting.)
  for (int i = 0; i < 500 && pipe_bytes_available(p) == 0; ++i) usleep(2000);
  EXPECT_EQ(pipe_bytes_available(p), 1);
  EXPECT_EQ(fgets(line, sizeof(line), p), nullptr);
  EXPECT_EQ(pipe_bytes_available(p), 0);
  EXPECT_EQ(pclose(p), 0);
}

TEST(PipeBytes, EmptyPipeWithLiveWriterHasNothing)
{
  FILE* p = popen("sleep 0.3", "r");
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(pipe_bytes_available(p), 0);
  pclose(p);
}

TEST(DynLib, LoadsResolvesAndFrees)
{
  void* m = load_library("libm.so.6");
  ASSERT_NE(m, nullptr);
  auto cosine = reinterpret_cast<double (*)(double)>(get_proc_address(m, "cos"));
  ASSERT_NE(cosine, nullptr);
  EXPECT_EQ(cosine(0.0), 1.0);
  EXPECT_EQ(get_proc_address(m, "no_such_symbol"), nullptr);
  EXPECT_STRNE(library_error(), "");
  EXPECT_TRUE(free_library(m));
  EXPECT_FALSE(free_library(nullptr));
  EXPECT_EQ(load_library("/nonexistent/libnothing.so"), nullptr);
  EXPECT_STRNE(library_error(), "");
}

TEST(DirWatch, LinkLoopsAndNewFoldersAreSafe)
{
  char saved[260];
  memcpy(saved, app_path, sizeof(saved));
  TestDir tmp("watch");
  std::string dir = tmp.path;
  fs::create_directories(dir + "/data/gen");
  fs::create_directory_symlink(dir, dir + "/data/loop");   // a link back up the tree
  fs::create_directory_symlink(dir + "/data/gen", dir + "/data/gen2");   // a second way into one folder
  snprintf(app_path, sizeof(app_path), "%s/", dir.c_str());

  // Each real folder once: the links lead to folders already watched.
  start_dir_watch();
  EXPECT_EQ(dir_watch_folder_count(), 3);
  EXPECT_TRUE(dir_watch_watches((dir + "/").c_str()));
  EXPECT_TRUE(dir_watch_watches((dir + "/data/").c_str()));
  EXPECT_TRUE(dir_watch_watches((dir + "/data/gen/").c_str()) || dir_watch_watches((dir + "/data/gen2/").c_str()));

  // Folders made later are watched with what they already hold.
  fs::create_directories(dir + "/data/new/deeper");
  std::ofstream(dir + "/data/new/deeper/file.nut") << "x";
  std::ofstream(dir + "/data/gen/main.nut.tmp") << "y";
  fs::rename(dir + "/data/gen/main.nut.tmp", dir + "/data/gen/main.nut");
  for (int i = 0; i < 3; ++i) poll_dir_watch();
  EXPECT_TRUE(dir_watch_watches((dir + "/data/new/").c_str()));
  EXPECT_TRUE(dir_watch_watches((dir + "/data/new/deeper/").c_str()));
  EXPECT_EQ(dir_watch_folder_count(), 5);

  // Removed folders leave the watch.
  fs::remove_all(dir + "/data/new");
  poll_dir_watch();
  EXPECT_EQ(dir_watch_folder_count(), 3);
  EXPECT_FALSE(dir_watch_watches((dir + "/data/new/").c_str()));

  stop_dir_watch();
  EXPECT_EQ(dir_watch_folder_count(), 0);
  poll_dir_watch();   // stopped: nothing to do
  stop_dir_watch();

  memcpy(app_path, saved, sizeof(saved));
}

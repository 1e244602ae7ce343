// Moving land is heard: the world's height morph, the sound events and the
// game's own sound script and sounds, mixed by a real OpenAL Soft loopback
// device as the game's tick drives them.
#include "audio_fixture.h"

#include "gameshell/soundEvents.h"
#include "gameshell/soundScript.h"

#include "engine/paths.h"
#include "world/heightmapData.h"
#include "world/worldServices.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace
{

class LandSound : public AudioTest
{
protected:
  std::string savedAppPath;

  void SetUp() override
  {
    AudioTest::SetUp();
    savedAppPath = app_path;
    snprintf(app_path, sizeof(app_path), "%s", program_dir().c_str());
    init_sound_vm("sound/sound.nut");
    set_global_stream_volume(0);  // no music: only the land is measured
    HeightmapData::reset();
    scene_camera_pos = make4f(0, 0, 0, 1);
  }
  void TearDown() override
  {
    close_sound_vm();
    sound_script_vm.files.clear();
    snprintf(app_path, sizeof(app_path), "%s", savedAppPath.c_str());
    AudioTest::TearDown();
  }

  // Ticks of the world step with the tick's sound steps, the mix of each
  // tick appended.
  Mix ticks(int n)
  {
    Mix all;
    for (int i = 0; i < n; i++) {
      HeightmapData::updateHmap(0.05f);
      shift_tracked_sounds(scene_camera_pos);
      apply_3d_sound();
      Mix m = render_seconds(0.05);
      all.s.insert(all.s.end(), m.s.begin(), m.s.end());
    }
    return all;
  }
};

TEST_F(LandSound, RisingLandIsHeardWhileItMovesOnly)
{
  Mix before = ticks(10);
  EXPECT_LT(before.rms(), 1e-4);

  // A hill of 2 units rises in one octant round the camera cell.
  for (int z = 2; z < 6; z++)
    for (int x = 12; x < 20; x++) HeightmapData::target_hmap[(z << 8) | x] = 2.f;
  Mix moving = ticks(20);
  EXPECT_GT(moving.rms(0.1), 0.01);
  int playing = 0;
  for (const HeightmapData::LandSoundGroup& g : HeightmapData::land_sound) playing += is_sound_playing(g.channel);
  EXPECT_EQ(playing, 1) << "one octant moves";

  // Settled, the sound fades out.
  ticks(40);
  Mix after = ticks(10);
  EXPECT_LT(after.rms(), 1e-4);
}

}  // namespace

// The warp: the one-second passage out of a world through a portal. The
// plug-in switches to warp_mode; the last picture of the world is distorted
// frame after frame by "warpEffect.sh" (each frame distorts the one before),
// and when the second is over the world is left (leave_world: saves, a
// minute of the world's life without the player, back to the universe map).
// Main thread only.
#pragma once

#include "gameshell/gameModes.h"

#include "engine/d3d_shaders.h"

class WarpMode : public GameMode
{
public:
  float timer = 0.f;            // seconds left
  float effect_time = 0.f;      // seconds of distortion applied so far
  float last_frame_time = 0.f;  // when the last counted frame was, in frame time since the last tick
  bool first_frame = false;     // the next frame captures the world's picture

  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void drawOverlay(float t) override;

  // The distortion of the frame at t seconds after the last tick: the time
  // since the last counted frame, or 0 (the picture stays) for a frame less
  // than 10 ms after it.
  float countFrame(float t);
};

// The warp shader; null until init_warp_effect, never released.
extern Shader* warp_shader;

// Start-up: creates "warpEffect.sh" once.
void init_warp_effect();

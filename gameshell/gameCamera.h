// The game's one camera, driven by the current game mode and read by the scene
// passes: its position at the start and the end of the current tick, heading,
// pitch, roll and zoom, and the colour laid over the frame. Frames between two
// ticks blend the start and end values by the frame fraction (20 t for t
// seconds after the tick); x and z blend the short way round the 256-unit
// wrapping world. Heading and pitch are taken as they stand (a mode that wants
// them smooth interpolates them itself). Main thread only.
#pragma once

#include "engine/vec4f.h"

extern vec4f camera_pos;       // at the end of the current tick
extern vec4f camera_prev_pos;  // at its start
extern float camera_heading, camera_pitch;  // radians
extern float camera_roll, camera_prev_roll;
extern float camera_zoom, camera_prev_zoom;  // 1 at rest; divides the field of view
extern vec4f cur_frame_color, prev_frame_color;  // r, g, b, a laid over the frame
extern bool world_paused;  // F2: the world stops stepping in play

// Play-camera control (the play mode's): click timers of the forward and back
// buttons, the dash direction and the horizontal speed of the last two ticks.
struct FlyControl
{
  float forward_timer, back_timer;
  int turn;  // -1, 0 or 1
  float hspeed, prev_hspeed;
  bool mouse_captured;  // the pointer steers the camera
};
extern FlyControl fly_control;

// The short way from b to a in x and z (each in (-128, 128]); y and w are a - b.
vec4f wrapped_diff(vec4f a, vec4f b);

// The camera matrix t seconds after the last tick: rows right, up, forward,
// position (row-vector convention).
Matrix44 get_camera_view(float t);

// Start of a tick of a mode that moves the camera: the current values become
// the previous ones, and the frame colour's alpha fades by 0.5 per second.
void begin_camera_tick(float dt);
// A jump: both positions become p.
void set_camera_pos(vec4f p);
// Zoom 1, play-camera control cleared, no interpolation pending, mouse released.
void reset_fly_control();

// The shared camera and its per-tick bookkeeping.
#include "gameshell/gameCamera.h"

#include <cmath>

vec4f camera_pos = {0.f, 0.f, 0.f, 1.f};
vec4f camera_prev_pos = {0.f, 0.f, 0.f, 1.f};
float camera_heading = 0.f, camera_pitch = 0.f;
float camera_roll = 0.f, camera_prev_roll = 0.f;
float camera_zoom = 1.f, camera_prev_zoom = 1.f;
vec4f cur_frame_color = {0.f, 0.f, 0.f, 0.f};
vec4f prev_frame_color = {0.f, 0.f, 0.f, 0.f};
bool world_paused = false;
FlyControl fly_control;

vec4f wrapped_diff(vec4f a, vec4f b)
{
  vec4f d = a - b;
  d[0] = wrap_world_coord(d[0]);
  d[2] = wrap_world_coord(d[2]);
  return d;
}

Matrix44 get_camera_view(float t)
{
  float k = 20.f * t;
  float roll = (1.f - k) * camera_prev_roll + k * camera_roll;
  float cr = cosf(roll), sr = sinf(roll);
  float cp = cosf(camera_pitch), sp = sinf(camera_pitch);
  float ch = cosf(camera_heading), sh = sinf(camera_heading);

  Matrix44 rz, rx, ry;
  rz.row[0] = make4f(cr, -sr, 0.f, 0.f);
  rz.row[1] = make4f(sr, cr, 0.f, 0.f);
  rz.row[2] = make4f(0.f, 0.f, 1.f, 0.f);
  rz.row[3] = make4f(0.f, 0.f, 0.f, 1.f);
  rx.row[0] = make4f(1.f, 0.f, 0.f, 0.f);
  rx.row[1] = make4f(0.f, cp, -sp, 0.f);
  rx.row[2] = make4f(0.f, sp, cp, 0.f);
  rx.row[3] = make4f(0.f, 0.f, 0.f, 1.f);
  ry.row[0] = make4f(ch, 0.f, sh, 0.f);
  ry.row[1] = make4f(0.f, 1.f, 0.f, 0.f);
  ry.row[2] = make4f(-sh, 0.f, ch, 0.f);
  ry.row[3] = make4f(0.f, 0.f, 0.f, 1.f);

  Matrix44 m = rz * rx * ry;
  m.row[3] = camera_prev_pos + wrapped_diff(camera_pos, camera_prev_pos) * v_splat(k);
  return m;
}

void begin_camera_tick(float dt)
{
  camera_prev_pos = camera_pos;
  camera_prev_roll = camera_roll;
  fly_control.prev_hspeed = fly_control.hspeed;
  camera_prev_zoom = camera_zoom;
  prev_frame_color = cur_frame_color;
  vec4f f = make4f(0.f, 0.f, 0.f, 0.5f * dt);
  cur_frame_color = v_max(v_zero(), (v_splat(1.f) - f) * cur_frame_color - f);
}

void set_camera_pos(vec4f p) { camera_pos = camera_prev_pos = p; }

void reset_fly_control()
{
  camera_zoom = 1.f;
  fly_control.forward_timer = fly_control.back_timer = 0.f;
  fly_control.turn = 0;
  fly_control.hspeed = fly_control.prev_hspeed = 0.f;
  camera_prev_pos = camera_pos;
  fly_control.mouse_captured = false;
}

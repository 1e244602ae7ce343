// The developer mode: a free-flying camera over the running world with mouse
// look, zoom, a sun that follows the view and clicks passed to the plug-in;
// and the developer keys that every mode calling handle_dev_hotkeys obeys
// (F1 graph, F2 pause, F3 fog, F4 wireframe, F5 post effects, F6
// anti-aliasing, F9 developer mode, Print Screen, Escape), with the world
// keys (G, H, R, I, Space; Ctrl with M, N, F3, F12) that act in the
// developer mode or while Ctrl is held. Main thread only.
#pragma once

#include "gameshell/gameModes.h"

extern bool show_fps;          // F1: the performance graph and camera line
// Ctrl+F3 switches sound_event_log (soundEvents.h).

// Fly constants.
const float DEV_FLY_SPEED = 5.55f;   // units a second
const float DEV_TURBO = 6.f;
const float DEV_MOUSE_SENSITIVITY = 0.002f;  // radians a pixel
const float DEV_ZOOM_MAX = 8.f;
const float DEV_ZOOM_RATE = 20.f;    // a second

class DevGameMode : public GameMode
{
public:
  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void drawOverlay(float t) override;
};

// What the fly tick reads from the keys and buttons held (only while the
// application is active; otherwise all zero).
struct DevFlyInput
{
  float side, up, ahead, lift;  // each -1, 0 or 1
  bool turbo;                   // button 6
  bool zoom;                    // middle mouse button
};
DevFlyInput read_dev_fly_input();
// Moves camera_pos along the camera's right, up and forward axes and world up,
// and moves camera_zoom toward 8 while zooming, back toward 1 otherwise.
void dev_fly_step(const DevFlyInput& in, float dt);
// Turns the camera by a pointer offset (dx, dy) from the window's centre
// (dy already negated for an inverted mouse), t seconds after the tick: the
// zoom of that moment scales the turn down.
void dev_mouse_turn(float dx, float dy, float t);

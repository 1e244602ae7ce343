// Game modes: exactly one is current (cur_game_mode); the tick calls its
// update and every frame its render (3D) and drawOverlay (2D). The modes are
// static objects reached through the exported pointers; the plug-in switches
// them with set_game_mode and go_to_main_menu.
//
//   main menu   a fly-over of the "main_menu" world behind the plug-in's menu;
//               the world keeps stepping (also while paused)
//   universe    the map of the game's worlds (universe module)
//   play        the player's camera; the world steps unless paused
//   developer   a free camera over the running world (developer module)
//   game menu   the menu over the last picture of the world; no world step
//   warp        the transition when a world is left (warp module)
//
// Main thread only.
#pragma once

class GameMode
{
public:
  virtual void enter(GameMode* previous) = 0;
  virtual void leave(GameMode* next) = 0;
  virtual void update(float dt) = 0;         // once per tick
  virtual void render(float t) = 0;          // 3D; t = seconds since the last tick
  virtual void drawOverlay(float t) = 0;     // 2D over the back buffer
  virtual void reserved() {}                 // kept empty; nothing calls it

protected:
  ~GameMode() = default;  // the modes are static objects, never deleted
};

extern GameMode* cur_game_mode;  // null until start-up ends
extern GameMode* main_menu_mode;
extern GameMode* universe_mode;
extern GameMode* play_mode;
extern GameMode* dev_mode;
extern GameMode* game_menu_mode;
extern GameMode* warp_mode;

// Nothing when next is current; else old->leave(next), then next->enter(old).
void set_game_mode(GameMode* next);
// Closes the plug-in's menu, drops the universe, generates the "main_menu"
// world and enters the main-menu mode.
void go_to_main_menu();

class MainMenuMode : public GameMode
{
public:
  // The fly-over: heading and pitch with their values at the tick's start,
  // their rates, and the time flown.
  float heading, prev_heading, pitch, prev_pitch, heading_rate, pitch_rate, time;

  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void drawOverlay(float t) override;
};

class PlayGameMode : public GameMode
{
public:
  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void drawOverlay(float t) override;
};

class GameMenuMode : public GameMode
{
public:
  GameMode* previous = nullptr;  // the mode the menu returns to

  void enter(GameMode* previous) override;
  void leave(GameMode* next) override;
  void update(float dt) override;
  void render(float t) override;
  void drawOverlay(float t) override;
};

// The fly-over's turn for elapsed time T: noise1 at 0.1 T plus five octaves.
float main_menu_turn_noise(float T);

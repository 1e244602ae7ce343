// What the engine needs from the game shell: its start-up, tick, frame,
// hot-reload poll, device-reset hook and loading screen. The game shell
// defines these; test programs that link the engine alone supply their own.
#pragma once

void init_game();
void close_game();
void game_pre_tick();
void game_tick(float dt);
void poll_hot_reload();
void render_game_frame(float dt);
void on_game_device_reset();
void draw_loading_screen();
void handle_dev_hotkeys();

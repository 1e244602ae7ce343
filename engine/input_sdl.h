// SDL2 input to the game's input queue: SDL scancodes become Windows
// virtual-key codes (US layout), keys and modifiers become the characters
// they type, and key, mouse-button, motion and wheel events become
// push_input_event calls. The application shell handles window events,
// Alt+Enter and Alt+F4 before it hands an event here. Main thread only.
#pragma once

union SDL_Event;

// The virtual-key code of a physical key, 0 when it has none. With Num Lock
// off the keypad reports the navigation keys, as the original platform did.
int sdl_scancode_to_vk(int scancode, bool num_lock);

// The character a key types under the given INPUT_* state bits (Shift, Ctrl,
// Alt, Caps Lock): printable characters, Backspace 8, Tab 9, Enter 13,
// Escape 27, Ctrl+letter 1-26 and the other control characters; 0 for none.
int input_key_char(int vk, int state_flags);

// Whether any key or button that reports `vk` is held now (SDL's state).
bool sdl_vk_held(int vk);

// Queues the input event for `e`; true when `e` was an input event that was
// turned into one.
bool input_handle_sdl_event(const SDL_Event& e);

// What the world generators need from outside the world subsystem: the
// engine's splash screen, which droplet erosion updates with its progress.
#pragma once

// Shows `text` with a progress bar (progress in 0..1; below 0 no bar) and
// presents one frame at once.
void show_splash(const char* text, float progress);

// The rendering device: one OpenGL 3.3 core context on the main window,
// standing in for the game's original device layer. Owns the back buffer,
// frames and presenting, frame pacing, render targets with the shared
// depth-stencil, clears, render states and copies. Main thread only.
#pragma once

extern int d3d_wd, d3d_ht;   // back-buffer size in pixels

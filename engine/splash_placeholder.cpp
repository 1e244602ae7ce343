// Stand-in for the splash screen until the bitmap-font module provides it;
// that module replaces this file. It draws nothing and only keeps the last
// progress, which is all long-running operations (world generation, erosion)
// need from it so far.
float splash_progress = -1.0f;

void show_splash(const char*, float progress) { splash_progress = progress; }

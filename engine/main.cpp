// Program entry of `game`: everything happens in the application shell.
#include "engine/app.h"

int main(int argc, char** argv) { return app_main(argc, argv); }

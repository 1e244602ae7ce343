// Program entry of `launcher`: everything happens in the application shell.
#include "launcher/launcherApp.h"

int main(int argc, char** argv) { return run_launcher(argc, argv); }

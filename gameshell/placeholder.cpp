// Filled by the game shell.

// Filled by the scripting module.

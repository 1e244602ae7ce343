// Filled by the world module.

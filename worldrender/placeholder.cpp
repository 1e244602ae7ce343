// Filled by the world renderer.

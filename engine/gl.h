// The one place that includes OpenGL. The core profile's entry points are
// exported by the system's dispatch library, so they are called directly.
#pragma once

#define GL_GLEXT_PROTOTYPES 1
#include <GL/glcorearb.h>

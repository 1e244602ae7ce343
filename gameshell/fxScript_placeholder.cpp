// PLACEHOLDER: stand-ins for the world renderer's particle pools
// (scripting/fxServices.h), so that the `game` program links before the
// renderer's effects exist. Particles are dropped. Delete each definition
// here as the real one is written.
#include "scripting/fxServices.h"

void add_blend_particle(vec4f, vec4f, vec4f, float, float, float, D3dColor, float, float, float, float, float,
                        ColorRamp*, FloatRamp*, FloatRamp*)
{
}

void add_glow_particle(vec4f, vec4f, vec4f, float, float, float, D3dColor, float, float, float, float, float,
                       ColorRamp*, FloatRamp*, FloatRamp*)
{
}

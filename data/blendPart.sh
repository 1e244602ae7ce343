// Alpha-blended particles (see particle_common.glsl); s0 "blendfx.dds".

#include "particle_common.glsl"

#ifdef PSH
void psh()
{
  vec4 c = color * textureLod(s0, uv, 0.0);
  write_effect(c.rgb * c.a, c.a);
}
#endif

// The warp out of a world: each counted frame turns the picture a little
// round the screen's centre, draws it toward the centre and brightens it;
// fed back frame after frame, the world dissolves into a whirl of light.
// s0: the last picture. ps_c[1] = (seconds since the last counted frame, 0
// for a frame that keeps the picture; seconds of warp so far; 0; 0).

#include "screen_quad.glsl"

#ifdef VSH
void vsh() { screen_quad(); }
#endif

#ifdef PSH
void psh()
{
  float dt = ps_c[1].x;
  float warp = ps_c[1].y;
  vec2 p = tc - vec2(0.5);
  float r = length(p);
  float turn = dt * (1.0 + 6.0 * warp) * (1.2 - r);
  float pull = 1.0 - dt * (0.2 + 1.5 * warp);
  float c = cos(turn), s = sin(turn);
  vec2 q = vec2(c * p.x - s * p.y, s * p.x + c * p.y) * pull + vec2(0.5);
  vec3 color = texture(s0, q).rgb;
  color += dt * warp * vec3(0.9, 1.0, 1.3) * (1.0 - r);
  out_color0 = vec4(min(color, vec3(1.0)), 1.0);
}
#endif

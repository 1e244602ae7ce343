// One MLAA run pass, shared by the row and column passes: for every pixel
// that carries an edge (channel EDGE of the edge texture s0), the number of
// neighbours before it and after it along the run that carry one too, as
// counts / 255 (at most 255). Each pass doubles the reach (recursive
// doubling): with FIRST the counts come from the edges alone (reach 2);
// otherwise s1 holds the previous pass's counts, capped at `step`
// (ps_c[0].x = step / 255), and a capped count is extended by the count
// found `step` pixels further on. vs_c[17].xy is one pixel along the run,
// vs_c[17].zw `step` pixels, in texture units. Every read is point-sampled.

#include "screen_quad.glsl"

flat VARYING vec4 run_step;

#ifdef VSH
void vsh()
{
  screen_quad();
  run_step = vs_c[17];
}
#endif

#ifdef PSH
bool on_screen(vec2 p)
{
  return all(greaterThanEqual(p, vec2(0.0))) && all(lessThanEqual(p, vec2(1.0)));
}

float edge_at(vec2 p)
{
  return on_screen(p) && textureLod(s0, p, 0.0).EDGE >= 0.5 ? 1.0 : 0.0;
}

vec2 counts_at(vec2 p)
{
  return floor(textureLod(s1, p, 0.0).xy * 255.0 + 0.5);
}

// (before, after) for the pixel at tc, or (0, 0) off an edge. Past the first
// pass a pixel off an edge holds (0, 0), which no later pass extends, so only
// the first reads the edges.
vec2 run_counts()
{
#ifdef FIRST
  if (edge_at(tc) == 0.0) return vec2(0.0);
  vec2 d = run_step.xy;
  float before = edge_at(tc - d) * (1.0 + edge_at(tc - 2.0 * d));
  float after = edge_at(tc + d) * (1.0 + edge_at(tc + 2.0 * d));
  return vec2(before, after);
#else
  float step = floor(ps_c[0].x * 255.0 + 0.5);
  vec2 n = counts_at(tc);
  if (n.x == step) n.x += counts_at(tc - run_step.zw).x;
  if (n.y == step) n.y += counts_at(tc + run_step.zw).y;
  return min(n, vec2(255.0));
#endif
}
#endif

// MLAA run pass over rows and columns at once: the row pass's (before,
// after) along horizontal edges in r and g, the column pass's along vertical
// edges in b and a, each computed exactly as mlaa_runs.glsl does it (see
// there). Drawn only where the stencil marks a pixel near an edge; every
// other pixel of the target stays 0, as both passes would leave it.
// s0: edges (r below, g right); s1: the previous pass's counts (not with
// FIRST); vs_c[17] = (one pixel across, one pixel down, step pixels across,
// step pixels down) in texture units; ps_c[0].x = step / 255.

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

float edge_at(vec2 p, bool vertical)
{
  vec4 e = textureLod(s0, p, 0.0);
  return on_screen(p) && (vertical ? e.g : e.r) >= 0.5 ? 1.0 : 0.0;
}

#ifdef FIRST
vec2 first_counts(vec2 d, bool vertical)
{
  if (edge_at(tc, vertical) == 0.0) return vec2(0.0);
  float before = edge_at(tc - d, vertical) * (1.0 + edge_at(tc - 2.0 * d, vertical));
  float after = edge_at(tc + d, vertical) * (1.0 + edge_at(tc + 2.0 * d, vertical));
  return vec2(before, after);
}
#else
vec4 counts_at(vec2 p)
{
  return floor(textureLod(s1, p, 0.0) * 255.0 + 0.5);
}
#endif

void psh()
{
#ifdef FIRST
  vec2 rows = first_counts(vec2(run_step.x, 0.0), false);
  vec2 cols = first_counts(vec2(0.0, run_step.y), true);
#else
  float step = floor(ps_c[0].x * 255.0 + 0.5);
  vec4 n = counts_at(tc);
  vec2 rows = n.xy, cols = n.zw;
  vec2 across = vec2(run_step.z, 0.0), down = vec2(0.0, run_step.w);
  if (rows.x == step) rows.x += counts_at(tc - across).x;
  if (rows.y == step) rows.y += counts_at(tc + across).y;
  if (cols.x == step) cols.x += counts_at(tc - down).z;
  if (cols.y == step) cols.y += counts_at(tc + down).w;
  rows = min(rows, vec2(255.0));
  cols = min(cols, vec2(255.0));
#endif
  out_color0 = vec4(rows / 255.0, cols / 255.0);
}
#endif

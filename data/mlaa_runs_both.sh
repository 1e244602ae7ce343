// MLAA run pass over rows and columns at once: for every pixel on an edge,
// the number of neighbours before it and after it along the run that are on
// one too, as counts / 255 (at most 255), along horizontal edges in r and g
// (left, right) and along vertical edges in b and a (up, down): the values
// the row and column passes of mlaa_runs.glsl end with. Each pass
// quadruples the reach: with FIRST the counts come from the edges alone
// (reach 4); otherwise s1 holds the previous pass's counts, capped at `step`
// (ps_c[0].x = step / 255), and a capped count goes on with the count found
// `step` pixels further, and while that one is capped too, `step` pixels
// further again, up to three times. Drawn only where the stencil marks a
// pixel near an edge; every other pixel of the target stays 0, as a pixel
// off an edge would hold anyway.
// s0: edges (r below, g right); vs_c[17] = (one pixel across, one pixel
// down, step pixels across, step pixels down) in texture units. Every read
// is point-sampled and lands on a pixel centre.

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
// How many of the next four pixels from tc along d carry an edge, without a gap.
float edges_from(vec2 d, bool vertical)
{
  return edge_at(tc + d, vertical) *
         (1.0 + edge_at(tc + 2.0 * d, vertical) *
                    (1.0 + edge_at(tc + 3.0 * d, vertical) * (1.0 + edge_at(tc + 4.0 * d, vertical))));
}

vec2 first_counts(vec2 d, bool vertical)
{
  if (edge_at(tc, vertical) == 0.0) return vec2(0.0);
  return vec2(edges_from(-d, vertical), edges_from(d, vertical));
}
#else
vec4 counts_at(vec2 p)
{
  return floor(textureLod(s1, p, 0.0) * 255.0 + 0.5);
}

// A count n capped at `step` goes on with the counts found every `step`
// pixels along d (component c of the counts), as long as each is capped.
float extend(float n, float step, vec2 d, int c)
{
  if (n != step) return n;
  float m = counts_at(tc + d)[c];
  n += m;
  if (m != step) return n;
  m = counts_at(tc + 2.0 * d)[c];
  n += m;
  if (m != step) return n;
  return n + counts_at(tc + 3.0 * d)[c];
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
  vec2 across = vec2(run_step.z, 0.0), down = vec2(0.0, run_step.w);
  vec2 rows = vec2(extend(n.x, step, -across, 0), extend(n.y, step, across, 1));
  vec2 cols = vec2(extend(n.z, step, -down, 2), extend(n.w, step, down, 3));
  rows = min(rows, vec2(255.0));
  cols = min(cols, vec2(255.0));
#endif
  out_color0 = vec4(rows / 255.0, cols / 255.0);
}
#endif

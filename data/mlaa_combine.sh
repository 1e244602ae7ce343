// MLAA combine: each pixel is blended with its neighbours across the edges
// around it. An edge run, with the way its two ends turn (the crossing edges
// at each end), gives the line the staircase stands for: from an end that
// turns toward one side the line starts half a pixel into that side and
// reaches the edge at the middle of the run (or, when the two ends turn to
// opposite sides, crosses the whole run). Where the line lies on this
// pixel's side of the edge, the pixel takes the neighbour's colour in
// proportion to that height.
// s0: the scene image; s1: edges (r below, g right); s2: runs (r, g: left
// and right along horizontal edges; b, a: up and down along vertical ones),
// counts / 255. ps_c[0].xy: one pixel in texture units.

#include "screen_quad.glsl"

#ifdef VSH
void vsh() { screen_quad(); }
#endif

#ifdef PSH
bool on_screen(vec2 p)
{
  return all(greaterThanEqual(p, vec2(0.0))) && all(lessThanEqual(p, vec2(1.0)));
}

// Horizontal edge between p and the pixel below; vertical edge between p and
// the pixel to its right.
float edge_below(vec2 p) { return on_screen(p) && textureLod(s1, p, 0.0).r >= 0.5 ? 1.0 : 0.0; }
float edge_right(vec2 p) { return on_screen(p) && textureLod(s1, p, 0.0).g >= 0.5 ? 1.0 : 0.0; }

// Height of the line at the centre of pixel i of a run of length len, with
// the run's ends turning by ha (first end) and hb (last end): +0.5 toward
// the first pixel's side of the edge, -0.5 toward the other, 0 straight.
float line_height(float i, float len, float ha, float hb)
{
  float t = i + 0.5;
  if (ha * hb < 0.0) return ha + (hb - ha) * (t / len);
  float half_len = len * 0.5;
  if (t < half_len) return ha * (1.0 - t / half_len);
  return hb * (t / half_len - 1.0);
}

// The line over the horizontal edge below pixel p: > 0 where it rises into
// p's row, < 0 where it dips into the row below.
float horizontal_line(vec2 p, vec2 px)
{
  if (edge_below(p) == 0.0) return 0.0;
  vec2 run = floor(textureLod(s2, p, 0.0).rg * 255.0 + 0.5);
  vec2 first = p - vec2(run.x * px.x, 0.0);
  vec2 last = p + vec2(run.y * px.x, 0.0);
  float ha = 0.5 * (edge_right(first - vec2(px.x, 0.0)) - edge_right(first + vec2(-px.x, px.y)));
  float hb = 0.5 * (edge_right(last) - edge_right(last + vec2(0.0, px.y)));
  return line_height(run.x, run.x + run.y + 1.0, ha, hb);
}

// The line over the vertical edge right of pixel p: > 0 where it reaches
// into p's column, < 0 where it reaches into the column to the right.
float vertical_line(vec2 p, vec2 px)
{
  if (edge_right(p) == 0.0) return 0.0;
  vec2 run = floor(textureLod(s2, p, 0.0).ba * 255.0 + 0.5);
  vec2 first = p - vec2(0.0, run.x * px.y);
  vec2 last = p + vec2(0.0, run.y * px.y);
  float ha = 0.5 * (edge_below(first - vec2(0.0, px.y)) - edge_below(first + vec2(px.x, -px.y)));
  float hb = 0.5 * (edge_below(last) - edge_below(last + vec2(px.x, 0.0)));
  return line_height(run.x, run.x + run.y + 1.0, ha, hb);
}

void psh()
{
  vec2 px = ps_c[0].xy;
  vec4 c = textureLod(s0, tc, 0.0);
  float w_below = max(horizontal_line(tc, px), 0.0);
  float w_above = max(-horizontal_line(tc - vec2(0.0, px.y), px), 0.0);
  float w_right = max(vertical_line(tc, px), 0.0);
  float w_left = max(-vertical_line(tc - vec2(px.x, 0.0), px), 0.0);
  float total = w_below + w_above + w_right + w_left;
  if (total == 0.0) {
    out_color0 = c;
    return;
  }
  // A corner pixel can be covered from two sides; never take more than the
  // whole pixel from the neighbours.
  float k = total > 1.0 ? 1.0 / total : 1.0;
  vec4 sum = c;
  sum += (textureLod(s0, tc + vec2(0.0, px.y), 0.0) - c) * (w_below * k);
  sum += (textureLod(s0, tc - vec2(0.0, px.y), 0.0) - c) * (w_above * k);
  sum += (textureLod(s0, tc + vec2(px.x, 0.0), 0.0) - c) * (w_right * k);
  sum += (textureLod(s0, tc - vec2(px.x, 0.0), 0.0) - c) * (w_left * k);
  out_color0 = sum;
}
#endif

// A world of the universe map: a disc of the world's colour with a rim of
// its second colour and, when it has one, a ring of a third colour round it
// (the current or a reachable world). Drawn in screen pixels from the GUI
// batch (y down, pixel centres on whole coordinates). The output is
// pre-multiplied by its alpha, as the GUI blends.
//
// Vertex: POSITION0 = (x, y, u, v) with (u, v) in units of the disc's radius
// (the disc ends at 1, the ring at 1.5); COLOR0 the fill, COLOR1 the rim,
// whose alpha is three pixels in those units; COLOR2 the ring (0: none).

VARYING vec2 uv;
VARYING vec4 fill;
VARYING vec4 rim;
VARYING vec4 ring;

#ifdef VSH
#include "gui_common.glsl"

in vec4 POSITION0;
in vec4 COLOR0;
in vec4 COLOR1;
in vec4 COLOR2;

void vsh()
{
  gl_Position = gui_clip_pos(gui_raster_pos(POSITION0.xy));
  uv = POSITION0.zw;
  fill = COLOR0;
  rim = COLOR1;
  ring = COLOR2;
}
#endif

#ifdef PSH
void psh()
{
  float d = length(uv);
  float px = max(rim.a, 1e-3) / 3.0;  // one pixel in units of the radius
  // Inside the disc the fill, its last three pixels toward the rim colour,
  // and one pixel of anti-aliased edge.
  float inside = clamp((1.0 - d) / px, 0.0, 1.0);
  float to_rim = clamp((d - (1.0 - 3.0 * px)) / (3.0 * px), 0.0, 1.0);
  vec4 disc = vec4(mix(fill.rgb, rim.rgb, to_rim), fill.a) * inside;
  // The ring: two pixels wide at 1.3 radii.
  float on_ring = clamp(1.0 - (abs(d - 1.3) - px) / px, 0.0, 1.0) * ring.a;
  vec4 c = vec4(disc.rgb * disc.a, disc.a);
  c = c * (1.0 - on_ring) + vec4(ring.rgb, 1.0) * on_ring;
  out_color0 = c;
}
#endif

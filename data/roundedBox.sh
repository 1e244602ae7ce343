// GUI boxes with rounded corners and lines. Each pixel's coverage comes from
// its signed distance to the box (centre and size, one radius per corner:
// top-left, top-right, bottom-right, bottom-left), spread over the softness
// (at least half a pixel, so edges are anti-aliased over one pixel). Behind
// the box an optional second box, moved by the offset, grown by the spread
// and blurred over `blur` pixels (none when blur < 0). Positions are screen
// pixels, y down, pixel centres on whole coordinates; the output is
// pre-multiplied by its alpha.

VARYING vec2 pos;
VARYING vec4 box;      // centre xy, half size zw
VARYING vec4 radii;
VARYING vec4 fill;
VARYING vec4 fill2;
VARYING vec4 params;   // offset xy, spread, softness (pixels)
VARYING float blur;

#ifdef VSH
#include "gui_common.glsl"

in vec4 POSITION0;
in vec4 TEXCOORD0;
in vec4 TEXCOORD1;
in vec4 COLOR0;
in vec4 COLOR1;
in vec4 TEXCOORD2;
in vec4 TEXCOORD3;

void vsh()
{
  vec2 p = POSITION0.xy;
  vec2 r = gui_raster_pos(p);
  gl_Position = gui_clip_pos(r);
  pos = r;  // the pixel centres interpolate to whole coordinates
  box = vec4(TEXCOORD0.xy, TEXCOORD0.zw * 0.5);
  radii = TEXCOORD1 * 255.0;
  fill = COLOR0;
  fill2 = COLOR1;
  params = vec4(floor(TEXCOORD2.xyz * 255.0 + 0.5) - 128.0, TEXCOORD2.w * 255.0);
  blur = TEXCOORD3.x;
}
#endif

#ifdef PSH
float box_distance(vec2 p, vec2 half_size, vec4 r)
{
  float rr = p.x < 0.0 ? (p.y < 0.0 ? r.x : r.w) : (p.y < 0.0 ? r.y : r.z);
  rr = min(rr, min(half_size.x, half_size.y));
  vec2 q = abs(p) - half_size + rr;
  return min(max(q.x, q.y), 0.0) + length(max(q, 0.0)) - rr;
}

void psh()
{
  vec2 p = pos - box.xy;
  float soft = max(params.w, 0.5);
  float d = box_distance(p, max(box.zw, vec2(0.0)), radii);
  float cover = clamp(0.5 - d / (2.0 * soft), 0.0, 1.0);
  vec4 c = vec4(fill.rgb * fill.a, fill.a) * cover;
  if (blur >= 0.0) {
    float spread = params.z;
    vec2 half2 = max(box.zw + spread, vec2(0.0));
    float d2 = box_distance(p - params.xy, half2, max(radii + spread, vec4(0.0)));
    float cover2 = clamp(0.5 - d2 / (2.0 * max(blur, 0.5)), 0.0, 1.0);
    vec4 c2 = vec4(fill2.rgb * fill2.a, fill2.a) * cover2;
    c = c + c2 * (1.0 - c.a);
  }
  out_color0 = c;
}
#endif

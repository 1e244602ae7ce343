// Distance-field text (and, through disticon.sh, icons) from the GUI batch,
// in screen pixels: vs_c[16] maps pixels to clip space (scale xy, offset
// zw). The atlas's red channel holds the distance to the outline, 0.5 on the
// outline, rising inside.
//
// Text vertex: POSITION0 (x, y); COLOR0 the text colour; COLOR1 the second
// layer's colour (a drop shadow, say); TEXCOORD0 the atlas position;
// TEXCOORD1 the packed parameters: alpha the face threshold, blue the
// second layer's threshold, red and green the second layer's atlas offset
// encoded as 0.5 - 32 x offset. A threshold lies half a screen pixel
// outside the edge it draws, so the edge is smoothed over one pixel. The
// output is pre-multiplied by its alpha, as the GUI blends.

VARYING vec2 tc;
VARYING vec4 face_color;
VARYING vec4 layer_color;
VARYING vec4 params;

#ifdef VSH
in vec4 POSITION0;
in vec4 COLOR0;
in vec4 COLOR1;
in vec4 TEXCOORD0;
in vec4 TEXCOORD1;

void vsh()
{
  gl_Position = vec4(POSITION0.xy * vs_c[16].xy + vs_c[16].zw, 0.0, 1.0);
  tc = TEXCOORD0.xy;
  face_color = COLOR0;
#ifdef DIST_ICON_VERTEX
  params = COLOR1;
  layer_color = TEXCOORD1;
#else
  layer_color = COLOR1;
  params = TEXCOORD1;
#endif
}
#endif

#ifdef PSH
float dist_layer_cover(float d, float threshold, float pixel)
{
  return clamp((d - threshold) / pixel, 0.0, 1.0);
}

void psh()
{
  float d = texture(s0, tc).r;
  // How much the distance changes over one screen pixel.
  float pixel = max(length(vec2(dFdx(d), dFdy(d))), 1.0 / 1024.0);
  vec2 offset = (vec2(0.5) - params.rg) / 32.0;
  float d2 = texture(s0, tc - offset).r;
  float pixel2 = max(length(vec2(dFdx(d2), dFdy(d2))), 1.0 / 1024.0);

  float face_cover = dist_layer_cover(d, params.a, pixel);
  float layer_cover = layer_color.a > 0.0 ? dist_layer_cover(d2, params.b, pixel2) : 0.0;
  vec4 f = vec4(face_color.rgb * face_color.a, face_color.a) * face_cover;
  vec4 l = vec4(layer_color.rgb * layer_color.a, layer_color.a) * layer_cover;
  out_color0 = f + l * (1.0 - f.a);
}
#endif

// Vertex positions and texture coordinates of the land meshes, shared by the
// forward and deferred land shaders.
//
// The land grid: POSITION0 = cell (x, z) in unwrapped world coordinates,
// POSITION1.x = height. With INST, the detail patches: POSITION0 = (u, v)
// inside the cell, POSITION1 = the cell's (x, z), POSITION2 = the heights of
// its corners (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1); the patch is
// the bilinear surface through them, roughened near the camera by the detail
// texture's alpha (s4) so that the ground close by is not flat between cells.
// The roughening fades out well inside the patch square, so the patches
// meet the plain grid on its own edges.
// vs_c[0..3]: view-projection rows; vs_c[7]: camera position;
// vs_c[16] = (1/256, 1/256, half texel of a 256 texture, half texel of 1024).

#ifdef VSH
#ifdef INST
in vec4 POSITION0;
in vec4 POSITION1;
in vec4 POSITION2;
#else
in vec4 POSITION0;
in vec4 POSITION1;
#endif

// Detail texture repeats every 8 cells.
const float DETAIL_SCALE = 0.125;
const float DETAIL_BUMP = 0.18;

vec3 land_position()
{
#ifdef INST
  vec2 uv = POSITION0.xy;
  vec2 xz = POSITION1.xy + uv;
  float h = mix(mix(POSITION2.x, POSITION2.y, uv.x), mix(POSITION2.z, POSITION2.w, uv.x), uv.y);
  vec2 to_eye = xz - vs_c[7].xz;
  float fade = clamp((26.0 - max(abs(to_eye.x), abs(to_eye.y))) * 0.125, 0.0, 1.0);
  float bump = textureLod(s4, xz * DETAIL_SCALE, 0.0).a - 0.5;
  // Cell edges keep their straight line: only inner points move.
  float inner = min(min(uv.x, 1.0 - uv.x), min(uv.y, 1.0 - uv.y)) > 0.0 ? 1.0 : 0.0;
  h += bump * DETAIL_BUMP * fade * inner;
  return vec3(xz.x, h, xz.y);
#else
  return vec3(POSITION0.x, POSITION1.x, POSITION0.y);
#endif
}

vec4 world_to_clip(vec3 p)
{
  return p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
}

// Cell colour textures (256) and the normal texture (1024) at a world point.
vec2 color_tc(vec2 xz) { return xz * vs_c[16].xy + vs_c[16].zz; }
vec2 normal_tc(vec2 xz) { return xz * vs_c[16].xy + vs_c[16].ww; }
#endif

#ifdef PSH
const float DETAIL_SCALE_PS = 0.125;

// color_tc and normal_tc of the vertex stage: the texture coordinates are
// linear in the world point, so the pixel stage finds them from it rather
// than having three pairs of values interpolated.
vec2 color_tc_ps(vec2 xz) { return xz * (1.0 / 256.0) + (1.0 / 512.0); }
vec2 normal_tc_ps(vec2 xz) { return xz * (1.0 / 256.0) + (1.0 / 2048.0); }

// Ground colour: the cell colour (s2), the top colour (s3) laid over it by
// its alpha, thinner on steep ground, and the detail texture (s4).
vec3 land_albedo(vec2 tc, vec2 xz, vec3 n)
{
  // Single-level textures: no level to choose, which spares the rasteriser
  // the derivatives.
  vec4 base = textureLod(s2, tc, 0.0);
  vec4 top = textureLod(s3, tc, 0.0);
  vec4 det = texture(s4, xz * DETAIL_SCALE_PS);
  float flatness = clamp((n.y - 0.5) * 2.5, 0.0, 1.0);
  float cover = top.a * (0.4 + 0.6 * flatness);
  return mix(base.rgb, top.rgb, cover) * (0.6 + 0.8 * det.rgb);
}

vec3 land_normal(vec2 tc)
{
  return normalize(textureLod(s1, tc, 0.0).xyz * 2.0 - 1.0);
}
#endif

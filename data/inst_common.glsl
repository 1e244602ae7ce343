// Instanced object meshes (worldrender/renderInst.h; meshes made by
// tools/make_meshes.cpp): every mesh vertex is POSITION0 (xyz), NORMAL0
// (normal * 0.5 + 0.5) and COLOR0 (albedo, alpha 1 - emission).
//
// Simple instances: POSITION11, 12 and 13 are the rows of the object's
// rotation (rgb * 2 - 1), each scaled by its alpha * 8; POSITION10 the
// position; COLOR10 the tint (rgb) and extra emission (a).
// Building tiles: POSITION10 the cell (x, z), unwrapped; POSITION11 the
// heights of its corners (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1);
// POSITION12 the tint (rgb) and the tile code * (1 / 255) (a): quarter
// turns of the tile round the cell's centre. A tile vertex's y is measured
// from the cell's surface.
// vs_c[0..3]: view-projection rows; vs_c[7]: camera position.

#ifdef VSH
in vec4 POSITION0;
in vec4 NORMAL0;
in vec4 COLOR0;
in vec4 POSITION10;
in vec4 POSITION11;
in vec4 POSITION12;
#ifndef BUILDING
in vec4 POSITION13;
in vec4 COLOR10;
#endif

vec4 inst_world_to_clip(vec3 p)
{
  return p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
}

#ifdef BUILDING
vec2 tile_turn(vec2 q, int k)
{
  if (k == 1) return vec2(-q.y, q.x);
  if (k == 2) return -q;
  if (k == 3) return vec2(q.y, -q.x);
  return q;
}

// World position, normal, albedo and emission of this vertex.
void inst_vertex(out vec3 p, out vec3 n, out vec3 albedo, out float emission)
{
  int k = int(POSITION12.a * 255.0 + 0.5) & 3;
  vec2 uv = tile_turn(POSITION0.xz - 0.5, k) + 0.5;
  vec4 h = POSITION11;
  float ground = mix(mix(h.x, h.y, uv.x), mix(h.z, h.w, uv.x), uv.y);
  p = vec3(POSITION10.x + uv.x, ground + POSITION0.y, POSITION10.y + uv.y);
  vec3 nl = NORMAL0.xyz * 2.0 - 1.0;
  n = normalize(vec3(tile_turn(nl.xz, k), nl.y).xzy);
  albedo = COLOR0.rgb * POSITION12.rgb;
  emission = 1.0 - COLOR0.a;
}
#else
vec3 inst_row(vec4 c) { return (c.rgb * 2.0 - 1.0) * (c.a * 8.0); }

void inst_vertex(out vec3 p, out vec3 n, out vec3 albedo, out float emission)
{
  vec3 r0 = inst_row(POSITION11), r1 = inst_row(POSITION12), r2 = inst_row(POSITION13);
  p = POSITION10.xyz + POSITION0.x * r0 + POSITION0.y * r1 + POSITION0.z * r2;
  vec3 nl = NORMAL0.xyz * 2.0 - 1.0;
  vec3 nw = nl.x * r0 + nl.y * r1 + nl.z * r2;
  n = dot(nw, nw) > 1e-12 ? normalize(nw) : vec3(0.0, 1.0, 0.0);
  albedo = COLOR0.rgb * COLOR10.rgb;
  emission = clamp(1.0 - COLOR0.a + COLOR10.a, 0.0, 1.0);
}
#endif
#endif

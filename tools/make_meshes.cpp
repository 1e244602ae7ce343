// Generates the meshes of the objects the gameobj plug-in draws, in the
// program's mesh file format (engine/mesh.h): the player, castle, guard
// tower, portal, trees, stones, missiles, creatures, the stone figure and
// the 19 house and castle tiles.
//
// Every mesh has one vertex layout: POSITION0 FLOAT3 at 0, NORMAL0 D3DCOLOR
// at 12 (normal * 0.5 + 0.5), COLOR0 D3DCOLOR at 16 (albedo; alpha is the
// emission share), stride 20. Objects are modelled round their foot at the
// origin, y up, about one unit per metre; their shaders are "inst_simple.sh"
// (low quality) and "dr_inst_simple.sh" (high). House tiles span the cell
// [0, 1] x [0, 1] in x and z; their y is measured from the cell's surface
// (0 on the surface, walls reach down below it); their shaders are
// "inst_building.sh" and "dr_inst_building.sh".
//
// Usage: make_meshes OUTPUT_DIR (the files go to OUTPUT_DIR/meshes).
#include <sys/stat.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace
{
struct V3
{
  float x, y, z;
};
V3 operator-(V3 a, V3 b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
V3 operator*(V3 a, float s) { return {a.x * s, a.y * s, a.z * s}; }
V3 cross(V3 a, V3 b) { return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x}; }
V3 normalized(V3 a)
{
  float l = std::sqrt(a.x * a.x + a.y * a.y + a.z * a.z);
  return l > 1e-12f ? a * (1.f / l) : V3{0.f, 1.f, 0.f};
}

uint32_t pack_normal(V3 n)
{
  auto b = [](float v) { return uint32_t(std::lrint((v * 0.5f + 0.5f) * 255.f)) & 255u; };
  return 0xFF000000u | b(n.x) << 16 | b(n.y) << 8 | b(n.z);
}

struct Vertex
{
  V3 p;
  uint32_t normal, color;
};

struct MeshBuilder
{
  std::vector<Vertex> verts;
  std::vector<uint16_t> idx;
  std::vector<float> spheres;  // x, y, z, r

  // One flat triangle (counter-clockwise seen from outside).
  void tri(V3 a, V3 b, V3 c, uint32_t color)
  {
    const uint32_t n = pack_normal(normalized(cross(b - a, c - a)));
    for (V3 p : {a, b, c}) {
      idx.push_back(uint16_t(verts.size()));
      verts.push_back({p, n, color});
    }
  }
  void quad(V3 a, V3 b, V3 c, V3 d, uint32_t color)  // a b c d round the face
  {
    tri(a, b, c, color);
    tri(a, c, d, color);
  }
  // Axis-aligned box from lo to hi; `bottom` false leaves the floor out.
  void box(V3 lo, V3 hi, uint32_t color, bool bottom = true)
  {
    V3 p[8];
    for (int i = 0; i < 8; ++i) p[i] = {(i & 1) ? hi.x : lo.x, (i & 2) ? hi.y : lo.y, (i & 4) ? hi.z : lo.z};
    quad(p[2], p[6], p[7], p[3], color);  // top
    if (bottom) quad(p[0], p[1], p[5], p[4], color);
    quad(p[0], p[2], p[3], p[1], color);  // -z
    quad(p[4], p[5], p[7], p[6], color);  // +z
    quad(p[0], p[4], p[6], p[2], color);  // -x
    quad(p[1], p[3], p[7], p[5], color);  // +x
  }
  // A frustum of n sides round the y axis from y0 (radius r0) to y1 (r1),
  // centred on (cx, cz).
  void frustum(float cx, float cz, float y0, float r0, float y1, float r1, int n, uint32_t color, float twist = 0.f)
  {
    for (int i = 0; i < n; ++i) {
      const float a0 = (float(i) + twist) * 6.2831853f / float(n), a1 = (float(i + 1) + twist) * 6.2831853f / float(n);
      V3 b0 = {cx + r0 * std::cos(a0), y0, cz + r0 * std::sin(a0)};
      V3 b1 = {cx + r0 * std::cos(a1), y0, cz + r0 * std::sin(a1)};
      V3 t0 = {cx + r1 * std::cos(a0), y1, cz + r1 * std::sin(a0)};
      V3 t1 = {cx + r1 * std::cos(a1), y1, cz + r1 * std::sin(a1)};
      if (r1 > 1e-4f) {
        quad(b0, t0, t1, b1, color);
        tri({cx, y1, cz}, t1, t0, color);
      } else {
        tri(b0, t0, b1, color);
      }
      if (r0 > 1e-4f) tri({cx, y0, cz}, b0, b1, color);
    }
  }
  // A rough ball: a frustum stack of `rings` rings.
  void ball(V3 c, float r, int n, int rings, uint32_t color, float squash = 1.f)
  {
    for (int k = 0; k < rings; ++k) {
      const float a0 = -1.5707963f + 3.1415926f * float(k) / float(rings);
      const float a1 = -1.5707963f + 3.1415926f * float(k + 1) / float(rings);
      frustum(c.x, c.z, c.y + std::sin(a0) * r * squash, r * std::cos(a0), c.y + std::sin(a1) * r * squash,
              r * std::cos(a1), n, color, 0.5f * float(k & 1));
    }
  }
  void sphere(V3 c, float r)
  {
    spheres.insert(spheres.end(), {c.x, c.y, c.z, r});
  }
};

void put_u32(std::vector<uint8_t>& out, uint32_t v)
{
  for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}
void put_string(std::vector<uint8_t>& out, const char* s)
{
  const size_t l = strlen(s);
  out.push_back(uint8_t(l));
  out.insert(out.end(), s, s + l);
  out.push_back(0);
}

bool write_mesh(const std::string& path, const MeshBuilder& m, const char* shader, const char* shader_hq)
{
  std::vector<uint8_t> pay;
  put_string(pay, shader);
  put_string(pay, shader_hq);
  pay.push_back(0);  // no textures
  pay.push_back(uint8_t(m.spheres.size() / 4));
  for (float f : m.spheres) {
    uint32_t u;
    memcpy(&u, &f, 4);
    put_u32(pay, u);
  }
  // Elements: offset (u16), stream, type, usage, usage index.
  const uint8_t elems[3][6] = {{0, 0, 0, 3, 0, 0}, {12, 0, 0, 5, 1, 0}, {16, 0, 0, 5, 2, 0}};
  pay.push_back(3);
  for (const auto& e : elems) pay.insert(pay.end(), e, e + 6);
  put_u32(pay, 20);
  put_u32(pay, uint32_t(m.verts.size()));
  put_u32(pay, uint32_t(m.idx.size() / 3));
  for (const Vertex& v : m.verts) {
    for (float f : {v.p.x, v.p.y, v.p.z}) {
      uint32_t u;
      memcpy(&u, &f, 4);
      put_u32(pay, u);
    }
    put_u32(pay, v.normal);
    put_u32(pay, v.color);
  }
  for (uint16_t i : m.idx) {
    pay.push_back(uint8_t(i));
    pay.push_back(uint8_t(i >> 8));
  }
  std::vector<uint8_t> file;
  put_u32(file, 0x12040900u);
  put_u32(file, uint32_t(pay.size()));
  file.insert(file.end(), pay.begin(), pay.end());
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = fwrite(file.data(), 1, file.size(), f) == file.size();
  return fclose(f) == 0 && ok;
}

// ---- objects ----------------------------------------------------------------

const uint32_t BARK = 0xFF5A4030u, LEAF = 0xFF3C7A2Eu, LEAF_DARK = 0xFF2E5E2Cu, STONE = 0xFF8A8A84u,
               STONE_DARK = 0xFF6E6C66u, WALL = 0xFFB8AE98u, WALL_DARK = 0xFF968C78u, ROOF = 0xFF8C3A2Au,
               WOOD = 0xFF7A5A3Au, GLOW_BLUE = 0x8060A0FFu, GOLD = 0xFFD8B040u, CLOTH = 0xFF3050A0u;

MeshBuilder make_player()
{
  MeshBuilder m;
  m.frustum(0.f, 0.f, 0.f, 0.45f, 1.3f, 0.3f, 8, CLOTH);
  m.ball({0.f, 1.6f, 0.f}, 0.28f, 8, 4, 0xFFE0B090u);
  m.frustum(0.f, 0.f, 1.8f, 0.35f, 2.25f, 0.f, 8, CLOTH);
  m.sphere({0.f, 1.0f, 0.f}, 0.6f);
  return m;
}

MeshBuilder make_tree(bool fir)
{
  MeshBuilder m;
  m.frustum(0.f, 0.f, 0.f, 0.25f, 2.5f, 0.15f, 6, BARK);
  if (fir) {
    m.frustum(0.f, 0.f, 1.5f, 1.6f, 4.0f, 0.f, 8, LEAF_DARK);
    m.frustum(0.f, 0.f, 3.0f, 1.2f, 5.5f, 0.f, 8, LEAF_DARK, 0.5f);
    m.sphere({0.f, 3.0f, 0.f}, 1.4f);
  } else {
    m.ball({0.f, 3.4f, 0.f}, 1.6f, 8, 5, LEAF);
    m.ball({0.7f, 2.9f, 0.3f}, 0.9f, 6, 4, LEAF_DARK);
    m.sphere({0.f, 3.4f, 0.f}, 1.6f);
  }
  return m;
}

MeshBuilder make_stone(int kind)
{
  MeshBuilder m;
  switch (kind) {
    case 0:  // boulder
      m.ball({0.f, 0.3f, 0.f}, 0.8f, 7, 4, STONE, 0.7f);
      m.sphere({0.f, 0.4f, 0.f}, 0.7f);
      break;
    case 1:  // menhir
      m.frustum(0.f, 0.f, -0.3f, 0.45f, 3.2f, 0.25f, 5, STONE_DARK);
      m.sphere({0.f, 1.5f, 0.f}, 0.5f);
      m.sphere({0.f, 2.6f, 0.f}, 0.4f);
      break;
    case 2:  // slanted menhir
      m.frustum(0.f, 0.f, -0.3f, 0.6f, 2.2f, 0.2f, 4, STONE);
      m.sphere({0.f, 1.0f, 0.f}, 0.55f);
      break;
    default:  // stone cup
      m.frustum(0.f, 0.f, 0.f, 0.5f, 0.6f, 0.7f, 8, STONE);
      m.frustum(0.f, 0.f, 0.6f, 0.7f, 0.7f, 0.9f, 8, STONE_DARK);
      m.sphere({0.f, 0.4f, 0.f}, 0.6f);
      break;
  }
  return m;
}

MeshBuilder make_castle()
{
  MeshBuilder m;
  m.box({-2.f, 0.f, -2.f}, {2.f, 6.f, 2.f}, WALL);
  for (int i = 0; i < 4; ++i) {
    const float x = (i & 1) ? 1.4f : -2.f, z = (i & 2) ? 1.4f : -2.f;
    m.box({x, 6.f, z}, {x + 0.6f, 6.8f, z + 0.6f}, WALL_DARK);
  }
  m.frustum(0.f, 0.f, 6.f, 0.08f, 9.f, 0.06f, 4, WOOD);
  m.box({0.05f, 8.f, -0.02f}, {1.4f, 8.8f, 0.02f}, GOLD);
  m.sphere({0.f, 2.5f, 0.f}, 2.6f);
  m.sphere({0.f, 5.f, 0.f}, 2.2f);
  return m;
}

MeshBuilder make_guard_tower()
{
  MeshBuilder m;
  m.frustum(0.f, 0.f, 0.f, 1.4f, 7.f, 1.1f, 8, WALL);
  m.frustum(0.f, 0.f, 7.f, 1.5f, 7.8f, 1.5f, 8, WALL_DARK);
  m.frustum(0.f, 0.f, 7.8f, 1.7f, 10.f, 0.f, 8, ROOF);
  m.sphere({0.f, 2.f, 0.f}, 1.5f);
  m.sphere({0.f, 6.f, 0.f}, 1.5f);
  return m;
}

// ---- creatures: modelled facing +z; walkers stand on the origin, fliers
// are centred on it ----

const uint32_t HIDE = 0xFF4A6A2Au, HIDE_DARK = 0xFF34501Eu, BELLY = 0xFF9AA060u, EYE = 0x80FFD040u,
               SCALE = 0xFF6A2E2Au, SCALE_DARK = 0xFF4A1E22u, WING = 0xFF8A4A3Au, FEATHER = 0xFF40383Au,
               BEAK = 0xFFD8A030u;

// A thin sheet seen from both sides.
void sheet(MeshBuilder& m, V3 a, V3 b, V3 c, uint32_t color)
{
  m.tri(a, b, c, color);
  m.tri(a, c, b, color);
}

// The crawler's head and fore body.
MeshBuilder make_crawler_head()
{
  MeshBuilder m;
  m.ball({0.f, 0.55f, 0.4f}, 0.55f, 8, 4, HIDE);
  m.ball({0.f, 0.6f, 1.2f}, 0.45f, 8, 4, HIDE_DARK);
  m.box({-0.25f, 0.62f, 1.55f}, {-0.1f, 0.75f, 1.65f}, EYE);
  m.box({0.1f, 0.62f, 1.55f}, {0.25f, 0.75f, 1.65f}, EYE);
  for (float side : {-1.f, 1.f}) m.box({side * 0.6f - 0.08f, 0.f, 0.3f}, {side * 0.6f + 0.08f, 0.35f, 0.5f}, BELLY);
  m.sphere({0.f, 0.55f, 0.8f}, 0.7f);
  return m;
}

// The crawler's hind segments.
MeshBuilder make_crawler_tail()
{
  MeshBuilder m;
  const float r[3] = {0.5f, 0.42f, 0.3f};
  for (int i = 0; i < 3; ++i) {
    const float z = -0.4f - 0.7f * float(i);
    m.ball({0.f, r[i], z}, r[i], 8, 4, i & 1 ? HIDE_DARK : HIDE);
    for (float side : {-1.f, 1.f})
      m.box({side * (r[i] + 0.05f) - 0.07f, 0.f, z - 0.08f}, {side * (r[i] + 0.05f) + 0.07f, 0.3f, z + 0.08f}, BELLY);
  }
  m.sphere({0.f, 0.4f, -1.1f}, 0.6f);
  return m;
}

// The wyvern's body, neck and head.
MeshBuilder make_wyvern_head()
{
  MeshBuilder m;
  m.ball({0.f, 0.f, 0.f}, 0.9f, 8, 5, SCALE, 0.8f);
  m.ball({0.f, 0.25f, 0.9f}, 0.45f, 7, 4, SCALE_DARK);
  m.ball({0.f, 0.5f, 1.5f}, 0.38f, 7, 4, SCALE_DARK);
  m.ball({0.f, 0.6f, 2.05f}, 0.42f, 8, 4, SCALE);
  m.box({-0.15f, 0.4f, 2.3f}, {0.15f, 0.6f, 2.75f}, SCALE_DARK);
  m.box({-0.3f, 0.75f, 2.2f}, {-0.15f, 0.88f, 2.32f}, EYE);
  m.box({0.15f, 0.75f, 2.2f}, {0.3f, 0.88f, 2.32f}, EYE);
  m.sphere({0.f, 0.f, 0.3f}, 1.0f);
  return m;
}

// The wyvern's tail and wings.
MeshBuilder make_wyvern_tail()
{
  MeshBuilder m;
  for (int i = 0; i < 4; ++i) {
    const float r = 0.55f - 0.12f * float(i);
    m.ball({0.f, -0.1f * float(i), -0.9f - 0.7f * float(i)}, r, 6, 3, i & 1 ? SCALE_DARK : SCALE);
  }
  m.frustum(0.f, -3.7f, -0.5f, 0.25f, -0.2f, 0.f, 4, SCALE_DARK);
  for (float side : {-1.f, 1.f}) {
    const V3 root_front = {side * 0.6f, 0.3f, 0.5f}, root_back = {side * 0.6f, 0.3f, -0.6f};
    const V3 tip = {side * 3.6f, 0.9f, -0.4f}, elbow = {side * 2.0f, 0.7f, 0.6f};
    sheet(m, root_front, elbow, root_back, WING);
    sheet(m, elbow, tip, root_back, WING);
  }
  m.sphere({0.f, 0.f, -1.8f}, 0.6f);
  return m;
}

MeshBuilder make_bird()
{
  MeshBuilder m;
  m.ball({0.f, 0.f, 0.f}, 0.45f, 7, 4, FEATHER, 0.8f);
  m.ball({0.f, 0.2f, 0.5f}, 0.25f, 6, 3, FEATHER);
  m.box({-0.06f, 0.12f, 0.7f}, {0.06f, 0.22f, 0.95f}, BEAK);
  m.box({-0.5f, -0.02f, -0.75f}, {0.5f, 0.02f, -0.35f}, FEATHER);
  for (float side : {-1.f, 1.f})
    sheet(m, {side * 0.3f, 0.1f, 0.25f}, {side * 1.8f, 0.35f, -0.1f}, {side * 0.3f, 0.1f, -0.3f}, FEATHER);
  m.sphere({0.f, 0.f, 0.f}, 0.5f);
  return m;
}

// A standing stone figure.
MeshBuilder make_humanoid()
{
  MeshBuilder m;
  m.frustum(0.f, 0.f, 0.f, 0.5f, 0.3f, 0.5f, 6, STONE_DARK);
  m.frustum(0.f, 0.f, 0.3f, 0.35f, 1.8f, 0.3f, 6, STONE);
  m.ball({0.f, 2.05f, 0.f}, 0.26f, 6, 3, STONE);
  for (float side : {-1.f, 1.f}) m.box({side * 0.42f - 0.1f, 0.8f, -0.1f}, {side * 0.42f + 0.1f, 1.7f, 0.1f}, STONE);
  m.sphere({0.f, 1.0f, 0.f}, 0.5f);
  return m;
}

MeshBuilder make_portal()
{
  MeshBuilder m;
  // Two pillars and a lintel round a glowing pane.
  m.box({-1.6f, 0.f, -0.3f}, {-1.0f, 4.f, 0.3f}, STONE_DARK);
  m.box({1.0f, 0.f, -0.3f}, {1.6f, 4.f, 0.3f}, STONE_DARK);
  m.box({-1.8f, 4.f, -0.4f}, {1.8f, 4.6f, 0.4f}, STONE);
  m.box({-1.0f, 0.1f, -0.05f}, {1.0f, 4.f, 0.05f}, GLOW_BLUE);
  m.sphere({-1.3f, 2.f, 0.f}, 0.6f);
  m.sphere({1.3f, 2.f, 0.f}, 0.6f);
  return m;
}

MeshBuilder make_missile()
{
  MeshBuilder m;
  m.ball({0.f, 0.f, 0.f}, 0.35f, 6, 4, 0x90FFB040u);
  m.sphere({0.f, 0.f, 0.f}, 0.3f);
  return m;
}

// ---- house and castle tiles -----------------------------------------------------

// A slab over the whole cell, its top on the surface, its walls reaching 8
// units down (hidden in the ground where the neighbour is as high).
void tile_body(MeshBuilder& m, uint32_t top, uint32_t side)
{
  m.quad({0.f, 0.f, 0.f}, {0.f, 0.f, 1.f}, {1.f, 0.f, 1.f}, {1.f, 0.f, 0.f}, top);
  m.quad({0.f, -8.f, 0.f}, {0.f, 0.f, 0.f}, {1.f, 0.f, 0.f}, {1.f, -8.f, 0.f}, side);
  m.quad({1.f, -8.f, 1.f}, {1.f, 0.f, 1.f}, {0.f, 0.f, 1.f}, {0.f, -8.f, 1.f}, side);
  m.quad({0.f, -8.f, 1.f}, {0.f, 0.f, 1.f}, {0.f, 0.f, 0.f}, {0.f, -8.f, 0.f}, side);
  m.quad({1.f, -8.f, 0.f}, {1.f, 0.f, 0.f}, {1.f, 0.f, 1.f}, {1.f, -8.f, 1.f}, side);
}

MeshBuilder make_tile(int kind)
{
  MeshBuilder m;
  switch (kind) {
    case 0:  // roof_corner: roof tiles
      tile_body(m, ROOF, WALL);
      m.box({0.1f, 0.f, 0.4f}, {0.9f, 0.12f, 0.6f}, 0xFF6E2A20u, false);
      break;
    case 1:  // tower_corner
      tile_body(m, WALL_DARK, WALL);
      m.box({0.f, 0.f, 0.f}, {0.5f, 0.5f, 0.5f}, WALL_DARK, false);
      break;
    case 2:  // tower_wall1
    case 3:  // tower_wall2
      tile_body(m, WALL, kind == 2 ? WALL : WALL_DARK);
      m.box({0.f, 0.f, 0.f}, {1.f, 0.25f, 0.3f}, WALL_DARK, false);
      break;
    case 4:  // castle_walk
      tile_body(m, 0xFF9A9486u, WALL);
      break;
    case 5:  // merlon_top
      tile_body(m, WALL, WALL);
      m.box({0.25f, 0.f, 0.25f}, {0.75f, 0.6f, 0.75f}, WALL_DARK, false);
      break;
    case 6:  // merlon_corner
      tile_body(m, WALL, WALL);
      m.box({0.f, 0.f, 0.f}, {0.45f, 0.7f, 0.45f}, WALL_DARK, false);
      m.box({0.55f, 0.f, 0.f}, {1.f, 0.7f, 0.3f}, WALL_DARK, false);
      break;
    case 7:  // merlon_wall1
    case 8:  // merlon_wall2
      tile_body(m, WALL, WALL);
      m.box({kind == 7 ? 0.f : 0.5f, 0.f, 0.f}, {kind == 7 ? 0.5f : 1.f, 0.7f, 0.3f}, WALL_DARK, false);
      break;
    case 9:
    case 10:
    case 11:
    case 12:  // castle_wall1..4
      tile_body(m, kind & 1 ? WALL : WALL_DARK, kind & 1 ? WALL_DARK : WALL);
      m.box({0.f, 0.f, 0.f}, {1.f, 0.15f + 0.05f * float(kind - 9), 0.2f}, STONE, false);
      break;
    case 13:
    case 14:
    case 15:
    case 16:  // castle_slant1..4: a sloping roof
      tile_body(m, ROOF, WALL);
      m.quad({0.f, 0.f, 0.f}, {0.f, 0.4f, 1.f}, {1.f, 0.4f, 1.f}, {1.f, 0.f, 0.f}, kind & 1 ? ROOF : 0xFF7A3424u);
      break;
    default:  // castle_corner1, 2
      tile_body(m, WALL_DARK, WALL);
      m.frustum(0.5f, 0.5f, 0.f, 0.45f, 1.2f, 0.f, 6, kind == 17 ? ROOF : WALL_DARK);
      break;
  }
  return m;
}

const char* const TILE_NAMES[19] = {
    "roof_corner",   "tower_corner",  "tower_wall1",   "tower_wall2",   "castle_walk",
    "merlon_top",    "merlon_corner", "merlon_wall1",  "merlon_wall2",  "castle_wall1",
    "castle_wall2",  "castle_wall3",  "castle_wall4",  "castle_slant1", "castle_slant2",
    "castle_slant3", "castle_slant4", "castle_corner1", "castle_corner2",
};
}  // namespace

int main(int argc, char** argv)
{
  if (argc != 2) {
    fprintf(stderr, "usage: %s OUTPUT_DIR\n", argv[0]);
    return 2;
  }
  const std::string dir = std::string(argv[1]) + "/meshes";
  mkdir(dir.c_str(), 0755);
  struct Obj
  {
    const char* name;
    MeshBuilder mesh;
  };
  std::vector<Obj> objects = {
      {"player", make_player()},         {"tree1", make_tree(false)},    {"tree1f", make_tree(true)},
      {"stone1", make_stone(0)},         {"menhir1", make_stone(1)},     {"menhir2", make_stone(2)},
      {"stone_cup1", make_stone(3)},     {"castle", make_castle()},      {"guard_tower", make_guard_tower()},
      {"portal", make_portal()},         {"missile", make_missile()},
      {"ctrplr_head", make_crawler_head()}, {"ctrplr_tail", make_crawler_tail()},
      {"wyvern_head", make_wyvern_head()},  {"wyvern_tail", make_wyvern_tail()},
      {"bird", make_bird()},                {"humanoid", make_humanoid()},
  };
  bool ok = true;
  for (const Obj& o : objects)
    ok = write_mesh(dir + "/" + o.name + ".mesh", o.mesh, "inst_simple.sh", "dr_inst_simple.sh") && ok;
  for (int i = 0; i < 19; ++i)
    ok = write_mesh(dir + "/" + TILE_NAMES[i] + ".mesh", make_tile(i), "inst_building.sh", "dr_inst_building.sh") && ok;
  if (!ok) {
    fprintf(stderr, "make_meshes: cannot write the meshes to %s\n", dir.c_str());
    return 1;
  }
  return 0;
}

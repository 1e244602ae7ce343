// Draws the GUI's icon set at build time from simple vector shapes: an 8-bit
// distance-field atlas "<name>.dds" (0.5 on a shape's outline, rising
// inside, +-spread atlas pixels spanning 0..1) and the icon descriptor
// "<name>.txt" the engine's DistIcons reads.
//
// Every icon is designed on a 64 x 64 grid (y downward) as a signed distance
// function made of circles, rings, capsules and polygons, combined by union
// (min) and cut-out (max with the negated cutter), and sampled at texel
// centres. Each icon's bitmap is its grid grown by the spread; its offsets
// centre it on the point it is drawn at (yoffset counts upward, as for
// glyphs), and its original size is the 64 x 64 grid.
//
// The set: the fifteen spell icons and the map's markers ("dot",
// "dot_arrow"; "portal" serves both).
//
//   make_icons <output folder> <name>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "toolCommon.h"

namespace
{
const int GRID = 64;
const int SPREAD = 8;
const int CELL = GRID + 2 * SPREAD;
const int PER_ROW = 6;
const int MIP_LEVELS = 3;

struct P
{
  float x, y;
};

float len(float x, float y) { return std::sqrt(x * x + y * y); }

float circle(P p, float cx, float cy, float r) { return len(p.x - cx, p.y - cy) - r; }

float ring(P p, float cx, float cy, float r, float half_width) { return std::fabs(circle(p, cx, cy, r)) - half_width; }

float capsule(P p, P a, P b, float r)
{
  float bx = b.x - a.x, by = b.y - a.y, px = p.x - a.x, py = p.y - a.y;
  float t = std::clamp((px * bx + py * by) / (bx * bx + by * by), 0.f, 1.f);
  return len(px - bx * t, py - by * t) - r;
}

// Signed distance to a closed polygon (any winding), negative inside.
float polygon(P p, const std::vector<P>& v)
{
  float d = 1e9f;
  bool inside = false;
  for (size_t i = 0, j = v.size() - 1; i < v.size(); j = i++) {
    P a = v[j], b = v[i];
    float ex = b.x - a.x, ey = b.y - a.y, wx = p.x - a.x, wy = p.y - a.y;
    float t = std::clamp((wx * ex + wy * ey) / (ex * ex + ey * ey), 0.f, 1.f);
    d = std::min(d, len(wx - ex * t, wy - ey * t));
    if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) * ex / ey) inside = !inside;
  }
  return inside ? -d : d;
}

float box(P p, float x0, float y0, float x1, float y1) { return polygon(p, {{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}}); }

float cut(float shape, float cutter) { return std::max(shape, -cutter); }

float drop(P p, float cx, float cy, float r)
{
  return std::min(circle(p, cx, cy, r), polygon(p, {{cx, cy - 2.2f * r}, {cx + 0.87f * r, cy - 0.5f * r}, {cx - 0.87f * r, cy - 0.5f * r}}));
}

float bolt(P p, float dx, float dy, float s)
{
  std::vector<P> v = {{36, 4}, {16, 36}, {30, 36}, {24, 60}, {48, 24}, {34, 24}, {42, 4}};
  for (P& q : v) q = {32 + (q.x - 32) * s + dx, 32 + (q.y - 32) * s + dy};
  return polygon(p, v);
}

float battlements(P p, float x0, float x1, float top, float merlon)
{
  float d = box(p, x0, top + merlon, x1, 60);
  int n = int((x1 - x0) / merlon);
  for (int i = 0; i < n; i += 2) d = std::min(d, box(p, x0 + i * merlon, top, x0 + (i + 1) * merlon, top + merlon + 1));
  return d;
}

struct IconShape
{
  const char* name;
  std::function<float(P)> sdf;
};

const IconShape shapes[] = {
    {"fireball",
     [](P p) {
       float d = circle(p, 38, 38, 16);
       d = std::min(d, polygon(p, {{6, 6}, {38, 24}, {24, 38}}));
       d = std::min(d, polygon(p, {{20, 4}, {44, 22}, {34, 26}}));
       return std::min(d, polygon(p, {{4, 20}, {26, 34}, {22, 44}}));
     }},
    {"water_globe", [](P p) { return cut(circle(p, 32, 32, 24), circle(p, 24, 24, 6)); }},
    {"fracture",
     [](P p) {
       float d = capsule(p, {4, 56}, {60, 56}, 3);
       const P zig[] = {{32, 6}, {24, 18}, {38, 30}, {26, 42}, {34, 56}};
       for (int i = 0; i < 4; ++i) d = std::min(d, capsule(p, zig[i], zig[i + 1], 3));
       return d;
     }},
    {"meteor",
     [](P p) {
       float d = circle(p, 42, 42, 13);
       d = std::min(d, capsule(p, {8, 8}, {34, 34}, 4));
       d = std::min(d, capsule(p, {6, 26}, {30, 44}, 3));
       return std::min(d, capsule(p, {26, 6}, {44, 30}, 3));
     }},
    {"hill", [](P p) { return std::min(std::max(circle(p, 32, 62, 28), p.y - 56), capsule(p, {4, 56}, {60, 56}, 3)); }},
    {"pit", [](P p) { return cut(box(p, 4, 36, 60, 56), circle(p, 32, 32, 16)); }},
    {"volcano",
     [](P p) {
       float d = cut(polygon(p, {{6, 58}, {24, 26}, {40, 26}, {58, 58}}), box(p, 28, 20, 36, 32));
       d = std::min(d, circle(p, 30, 14, 6));
       return std::min(d, circle(p, 40, 8, 5));
     }},
    {"water_source",
     [](P p) {
       float d = drop(p, 26, 42, 14);
       d = std::min(d, capsule(p, {50, 8}, {50, 28}, 3));
       return std::min(d, capsule(p, {40, 18}, {60, 18}, 3));
     }},
    {"water_sink", [](P p) { return std::min(drop(p, 26, 42, 14), capsule(p, {40, 18}, {60, 18}, 3)); }},
    {"lightning_storm",
     [](P p) {
       float d = std::min(circle(p, 20, 22, 11), circle(p, 36, 16, 13));
       d = std::min(d, std::min(circle(p, 48, 24, 10), box(p, 12, 22, 50, 33)));
       return std::min(d, bolt(p, 2, 14, 0.55f));
     }},
    {"healing", [](P p) { return std::min(box(p, 24, 6, 40, 58), box(p, 6, 24, 58, 40)); }},
    {"lightning", [](P p) { return bolt(p, 0, 0, 1.0f); }},
    {"castle", [](P p) { return cut(battlements(p, 6, 58, 12, 6), circle(p, 32, 50, 7)); }},
    {"portal", [](P p) { return std::min(ring(p, 32, 32, 24, 3), ring(p, 32, 32, 12, 2)); }},
    {"fireball_tower",
     [](P p) { return std::min(battlements(p, 22, 44, 28, 4), circle(p, 33, 12, 8)); }},
    {"dot", [](P p) { return circle(p, 32, 32, 10); }},
    {"dot_arrow",
     [](P p) { return std::min(circle(p, 32, 42, 10), polygon(p, {{32, 4}, {46, 26}, {18, 26}})); }},
};
}  // namespace

int main(int argc, char** argv)
{
  if (argc != 3) {
    fprintf(stderr, "usage: make_icons <output folder> <name>\n");
    return 2;
  }
  const int count = int(sizeof(shapes) / sizeof(shapes[0]));
  const int rows = (count + PER_ROW - 1) / PER_ROW;
  int atlas_w = 1, atlas_h = 1;
  while (atlas_w < PER_ROW * CELL) atlas_w *= 2;
  while (atlas_h < rows * CELL) atlas_h *= 2;

  std::vector<uint8_t> atlas(size_t(atlas_w) * size_t(atlas_h), 0);
  for (int i = 0; i < count; ++i) {
    const int ox = (i % PER_ROW) * CELL, oy = (i / PER_ROW) * CELL;
    for (int y = 0; y < CELL; ++y)
      for (int x = 0; x < CELL; ++x) {
        P p = {float(x - SPREAD) + 0.5f, float(y - SPREAD) + 0.5f};
        float d = -shapes[i].sdf(p);  // positive inside
        float v = 0.5f + 0.5f * d / float(SPREAD);
        atlas[size_t(oy + y) * size_t(atlas_w) + size_t(ox + x)] = uint8_t(lrintf(std::clamp(v, 0.f, 1.f) * 255.f));
      }
  }

  const std::string base = std::string(argv[1]) + "/" + argv[2];
  if (!write_dds_l8(base + ".dds", atlas_w, atlas_h, atlas, MIP_LEVELS)) {
    fprintf(stderr, "make_icons: cannot write %s.dds\n", base.c_str());
    return 1;
  }
  FILE* f = fopen((base + ".txt").c_str(), "w");
  if (!f) {
    fprintf(stderr, "make_icons: cannot write %s.txt\n", base.c_str());
    return 1;
  }
  fprintf(f, "info file=\"%s\" scaleW=%d scaleH=%d spread=%d\n", argv[2], atlas_w, atlas_h, SPREAD);
  fprintf(f, "icons count=%d\n", count);
  for (int i = 0; i < count; ++i)
    fprintf(f, "icon \"%s\" %d %d %d %d %d %d %d %d\n", shapes[i].name, GRID, GRID, (i % PER_ROW) * CELL,
            (i / PER_ROW) * CELL, CELL, CELL, -CELL / 2, CELL / 2);
  if (fclose(f) != 0) {
    fprintf(stderr, "make_icons: cannot write %s.txt\n", base.c_str());
    return 1;
  }
  return 0;
}

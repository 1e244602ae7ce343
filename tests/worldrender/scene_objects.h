// A populated version of the fixed test world, for the reference pictures
// and the frame benchmark: a castle with its village and watch tower stamped
// into the grid, trees and stones round the lake, a portal in front of the
// camera, and live effects (glowing and blended particles, a trail, a
// lightning bolt), drawn through the game's instanced meshes with the
// generated meshes and effect textures of the build (linked into the
// program folder). Call open after open_scene_renderer, populate after the
// test world is built (it binds the plug-in hooks), close before
// close_scene_renderer. Needs the device.
#pragma once

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/config.h"
#include "engine/random.h"
#include "gl/asset_dir.h"
#include "world/heightmapData.h"
#include "world/houses.h"
#include "worldrender/commonFx.h"
#include "worldrender/hmRenderServices.h"
#include "worldrender/instRecords.h"
#include "worldrender/lightning.h"
#include "worldrender/renderInstances.h"
#include "worldrender/scenePassesServices.h"
#include "worldrender/shadows.h"
#include "worldrender/trails.h"

namespace scene_objects
{
struct Placed
{
  SimpleInstRender* inst;
  vec4f pos;
  float yaw, scale;
  D3dColor tint;
};

inline SimpleInstRender keep_inst, portal_inst;
inline std::vector<Placed> placed;
inline ColorRamp fade(0x00FFFFFFu, 0xFFFFFFFFu, 0x00FFFFFFu, 0.1f, 0.5f);

inline std::vector<InstRender*> used_renderers()
{
  std::vector<InstRender*> r = {&keep_inst, &portal_inst, &tree1_inst, &tree1f_inst, &stone1_inst, &menhir1_inst};
  for (int i = 0; i < HeightmapRenderer::num_house_tiles; ++i) r.push_back(HeightmapRenderer::house_tile_info[i].inst);
  return r;
}

inline void draw(float)
{
  for (const Placed& p : placed) queue_simple(*p.inst, object_matrix(p.pos, p.yaw, p.scale), p.tint);
  for (InstRender* r : used_renderers())
    if (r->mesh) r->render();
}

inline void draw_shadows(float)
{
  for (const Placed& p : placed) p.inst->renderShadowBalls(object_matrix(p.pos, p.yaw, p.scale), p.scale);
}

inline void tile(HeightmapData::Surface* s, int x, int z) { queue_house_tile(s, x, z); }

inline bool open(TempAppDir& assets)
{
  const std::string bin = QM_BIN_DIR;
  mkdir(assets.path("meshes").c_str(), 0755);
  const char* meshes[] = {"castle", "portal", "tree1", "tree1f", "stone1", "menhir1"};
  for (const char* m : meshes) {
    const std::string name = std::string("meshes/") + m + ".mesh";
    if (symlink((bin + "/" + name).c_str(), assets.path(name).c_str()) != 0) return false;
  }
#define LINK_TILE(name)                                                                                        \
  if (symlink((bin + "/meshes/" #name ".mesh").c_str(), assets.path("meshes/" #name ".mesh").c_str()) != 0) \
    return false;
  BUILDING_INST_RENDERS(LINK_TILE)
#undef LINK_TILE
  for (const char* t : {"blendfx.dds", "glowfx.dds", "lightning.dds"})
    if (symlink((bin + "/" + t).c_str(), assets.path(t).c_str()) != 0) return false;

  keep_inst.init("meshes/castle.mesh");
  portal_inst.init("meshes/portal.mesh");
  tree1_inst.init("meshes/tree1.mesh");
  tree1f_inst.init("meshes/tree1f.mesh");
  stone1_inst.init("meshes/stone1.mesh");
  menhir1_inst.init("meshes/menhir1.mesh");
#define INIT_TILE(name) name##_inst.init("meshes/" #name ".mesh");
  BUILDING_INST_RENDERS(INIT_TILE)
#undef INIT_TILE
  init_common_fx();
  init_shadow_shaders();
  return true;
}

inline void close()
{
  close_common_fx();
  close_shadows();
  for (InstRender* r : used_renderers()) {
    r->mesh = nullptr;
    r->shader = nullptr;
  }
  free_all_meshes();
  render_gameobj = nullptr;
  render_gameobj_shadow = nullptr;
  placed.clear();
}

inline bool in_lake(int x, int z) { return (x - 96) * (x - 96) + (z - 150) * (z - 150) < 27 * 27; }
inline bool in_lava(int x, int z) { return (x - 125) * (x - 125) + (z - 160) * (z - 160) < 9 * 9; }

// Stamps the buildings into the world grid built by build_scene_test_world,
// places the objects and starts the effects.
inline void populate()
{
  using namespace HeightmapData;
  placeHouse(134, 132, -1, hmap, false);
  placeHouse(114, 128, 0, hmap, false);
  placeHouse(120, 120, 1, hmap, false);
  placeHouse(108, 136, 2, hmap, false);
  placeHouse(146, 118, -2, hmap, false);
  memcpy(target_hmap, hmap, sizeof(hmap));

  placed.clear();
  placed.push_back({&keep_inst, make4f(134.5f, hmap[cell_index(134, 132)], 132.5f, 1.f), 0.f, 1.f, 0x00FFFFFFu});
  placed.push_back({&portal_inst, make4f(103.5f, hmap[cell_index(103, 121)], 121.5f, 1.f), 0.45f, 1.f, 0x30FFFFFFu});
  uint32_t h = 7u;
  for (int z = 112; z < 190; z += 6)
    for (int x = 66; x < 170; x += 6) {
      h = h * 1664525u + 1013904223u;
      const int px = x + int(h >> 29), pz = z + int((h >> 26) & 7);
      const int cell = cell_index(px, pz);
      if (in_lake(px, pz) || in_lava(px, pz) || cell_marks(surface[cell].bits) != 0) continue;
      if (px > 92 && px < 116 && pz < 124) continue;  // keep the view open
      SimpleInstRender* inst = (h >> 8) % 7 == 0 ? &stone1_inst : ((h >> 8) % 7 == 1 ? &menhir1_inst : ((h >> 12) & 1 ? &tree1_inst : &tree1f_inst));
      placed.push_back({inst, make4f(float(px) + 0.5f, hmap[cell], float(pz) + 0.5f, 1.f), float(h & 255) * 0.0245f,
                        0.8f + float((h >> 16) & 255) / 512.f, 0x00FFFFFFu});
    }

  reset_common_fx();
  const vec4f portal = make4f(103.5f, hmap[cell_index(103, 121)] + 2.f, 121.5f, 1.f);
  for (int i = 0; i < 16; ++i) {
    const float a = float(i) * 0.3927f;
    add_glow_particle(portal + make4f(std::cos(a) * 1.2f, std::sin(a) * 1.6f, 0.f, 0.f), make4f(0, 0.5f, 0, 0.5f),
                      make4f(0, 0, 0, 0), 1.f, 0.f, 0.5f, 0xFF70A0FFu, 384.f, 0.f, 128.f, 0.f, 0.f, &fade, nullptr,
                      nullptr);
  }
  const vec4f chimney = make4f(135.7f, hmap[cell_index(134, 132)] + 8.f, 133.7f, 1.f);
  for (int i = 0; i < 8; ++i)
    add_blend_particle(chimney + make4f(0.3f * float(i), 0.9f * float(i), 0.f, 0.f), make4f(0.2f, 1.f, 0, 0.2f),
                       make4f(0, 0, 0, 0), 3.f, 0.f, 0.6f + 0.15f * float(i), 0xC0606060u, 64.f, 0.f, 64.f,
                       float(i), 0.f, &fade, nullptr, nullptr);
  const int trail = add_trail_fx(make4f(108, 12, 126, 1), make4f(0, 0, 0, 0), make4f(0, 0.3f, 0, 0), 0.5f, 0xFFFFD080u);
  for (int i = 1; i < 12; ++i)
    add_trail_point(trail, make4f(108.f - float(i) * 0.8f, 12.f + std::sin(float(i) * 0.6f), 126.f + float(i) * 0.5f, 1.f),
                    make4f(0, 0, 0, 0), make4f(0, 0.3f, 0, 0));
  set_trail_tc(trail, 4.f, 0.f, 0.f, 0.5f, 0.75f);
  game_rnd_seed = 4242;
  add_lightning_fx(make4f(150, 45, 175, 1), make4f(146, hmap[cell_index(146, 170)], 170, 1), make4f(0, -10, 0, 0),
                   0.5f, 7.f, 2.5f, 1.f, 0xFFD0E0FFu, 40);
  update_lightning(0.45f);

  render_gameobj = draw;
  render_gameobj_shadow = draw_shadows;
  render_building = tile;
}
}  // namespace scene_objects

#include "gameobj/drawing.h"

#include <cmath>
#include <cstring>

#include "gameobj/creatures.h"
#include "gameobj/scenery.h"
#include "gameobj/towers.h"
#include "worldrender/instRecords.h"
#include "worldrender/hmRender.h"
#include "worldrender/renderInstances.h"
#include "worldrender/scenePasses.h"
#include "worldrender/shadows.h"

SimpleInstRender player_inst, castle_inst, guard_tower_inst, portal_inst, missile_inst, bird_inst;

namespace
{
struct Named
{
  InstRender* inst;
  const char* mesh;
};

vec4f camera_pos() { return cur_view_itm.row[3]; }

// tm turned by `angle` about its own x axis first: a fallen tree or stone.
Matrix44 tilted(const Matrix44& tm, float angle)
{
  const float c = std::cos(angle), s = std::sin(angle);
  Matrix44 r = Matrix44::identity();
  r.row[1] = make4f(0.f, c, s, 0.f);
  r.row[2] = make4f(0.f, -s, c, 0.f);
  return matrix_mul(r, tm);
}

SimpleInstRender& tree_inst_of(const PluginObject* o) { return scenery_variant(o) & 1 ? tree1f_inst : tree1_inst; }
}  // namespace

void init_object_meshes()
{
  const Named named[] = {
      {&player_inst, "meshes/player.mesh"},     {&castle_inst, "meshes/castle.mesh"},
      {&guard_tower_inst, "meshes/guard_tower.mesh"}, {&portal_inst, "meshes/portal.mesh"},
      {&missile_inst, "meshes/missile.mesh"},   {&tree1_inst, "meshes/tree1.mesh"},
      {&tree1f_inst, "meshes/tree1f.mesh"},     {&stone1_inst, "meshes/stone1.mesh"},
      {&menhir1_inst, "meshes/menhir1.mesh"},   {&menhir2_inst, "meshes/menhir2.mesh"},
      {&stone_cup1_inst, "meshes/stone_cup1.mesh"},
      {&ctrplr_head_inst, "meshes/ctrplr_head.mesh"}, {&ctrplr_tail_inst, "meshes/ctrplr_tail.mesh"},
      {&wyvern_head_inst, "meshes/wyvern_head.mesh"}, {&wyvern_tail_inst, "meshes/wyvern_tail.mesh"},
      {&bird_inst, "meshes/bird.mesh"},               {&humanoid_inst, "meshes/humanoid.mesh"},
  };
  for (const Named& n : named) n.inst->init(n.mesh);
#define INIT_TILE(name) name##_inst.init("meshes/" #name ".mesh");
  BUILDING_INST_RENDERS(INIT_TILE)
#undef INIT_TILE
}

// The matrix and mesh of every drawn object, handed to fn(inst, tm, tint,
// shadow scale).
template <class Fn>
void for_each_drawn(Fn fn)
{
  for (Player* p : Player_list) {
    if (p == local_player) continue;  // the camera sits in it
    fn(player_inst, object_matrix(p->pos - make4f(0, 1.2f, 0, 0), 0.f, 1.f), D3dColor(0x00FFFFFFu));
  }
  for (CastleObject* c : CastleObject_list) fn(castle_inst, object_matrix(c->pos, 0.f, 1.f), D3dColor(0x00FFFFFFu));
  for (GuardTower* g : GuardTower_list) fn(guard_tower_inst, object_matrix(g->pos, 0.f, 1.f), D3dColor(0x00FFFFFFu));
  for (WorldPortal* p : WorldPortal_list) {
    // The portal faces the castle side of the world: a fixed turn per target.
    fn(portal_inst, object_matrix(p->pos, 0.6f * float(p->target), 1.f), D3dColor(0x30FFFFFFu));
  }
  auto scenery = [&](SimpleInstRender& inst, SceneryObject* s) {
    Matrix44 tm = object_matrix(s->pos, scenery_yaw(s), scenery_scale(s));
    if (!s->standing()) tm = tilted(tm, s->tilt);
    fn(inst, tm, D3dColor(s->charred ? 0x00383030u : 0x00FFFFFFu));
  };
  for (TreeObject* t : TreeObject_list) scenery(tree_inst_of(t), t);
  for (Stone1StaticObject* s : Stone1StaticObject_list) scenery(stone1_inst, s);
  for (Menhir1StaticObject* s : Menhir1StaticObject_list) scenery(menhir1_inst, s);
  for (Menhir2StaticObject* s : Menhir2StaticObject_list) scenery(menhir2_inst, s);
  for (StoneCup1Object* s : StoneCup1Object_list) scenery(stone_cup1_inst, s);
  for (GuardTowerMissile* m : GuardTowerMissile_list) {
    const float yaw = std::atan2(m->vel[0], m->vel[2]);
    fn(missile_inst, object_matrix(m->pos, yaw, 0.6f), D3dColor(0x80FFFFFFu));
  }
  for (HumanoidStaticObject* h : HumanoidStaticObject_list)
    fn(humanoid_inst, object_matrix(h->pos, scenery_yaw(h), 1.f), D3dColor(0x00FFFFFFu));
  // Creatures glow red for a moment when hurt.
  auto creature_tint = [](const Creature* c) { return D3dColor(c->flash > 0.f ? 0x80FF6060u : 0x00FFFFFFu); };
  for (LandMonster* c : LandMonster_list) {
    const Matrix44 tm = object_matrix(c->pos, c->heading, c->kind().size);
    fn(ctrplr_head_inst, tm, creature_tint(c));
    fn(ctrplr_tail_inst, tm, creature_tint(c));
  }
  for (WyvernMonster* c : WyvernMonster_list) {
    const Matrix44 tm = object_matrix(c->pos, c->heading, c->kind().size);
    fn(wyvern_head_inst, tm, creature_tint(c));
    fn(wyvern_tail_inst, tm, creature_tint(c));
  }
  for (BirdMonster* c : BirdMonster_list)
    fn(bird_inst, object_matrix(c->pos, c->heading, c->kind().size), creature_tint(c));
}

void draw_objects(float)
{
  // Far objects are left out: past the fog they cost without showing.
  const vec4f cam = camera_pos();
  for_each_drawn([&](SimpleInstRender& inst, const Matrix44& tm, D3dColor tint) {
    const vec4f d = tm.row[3] - cam;
    if (d[0] * d[0] + d[2] * d[2] < 150.f * 150.f) queue_simple(inst, tm, tint);
  });
  InstRender* all[] = {&player_inst,      &castle_inst,      &guard_tower_inst, &portal_inst,      &missile_inst,
                       &tree1_inst,       &tree1f_inst,      &stone1_inst,      &menhir1_inst,     &menhir2_inst,
                       &stone_cup1_inst,  &humanoid_inst,    &ctrplr_head_inst, &ctrplr_tail_inst, &wyvern_head_inst,
                       &wyvern_tail_inst, &bird_inst};
  for (InstRender* r : all)
    if (r->mesh) r->render();
  for (int i = 0; i < HeightmapRenderer::num_house_tiles; ++i) {
    BuildingInstRender* r = HeightmapRenderer::house_tile_info[i].inst;
    if (r->mesh) r->render();
  }
}

void draw_object_shadows(float)
{
  for_each_drawn([](SimpleInstRender& inst, const Matrix44& tm, D3dColor) {
    if (!inst.mesh) return;
    // The rows carry the scale: the spheres' places scale with them.
    const float scale = v_extract_x(v_length3(tm.row[1]));
    inst.renderShadowBalls(tm, scale);
  });
}


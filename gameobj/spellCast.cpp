// Casting, mana, the spells' work and the saved spell choice.
#include "gameobj/spellCast.h"
#include "gameobj/towers.h"
#include "gameobj/devtools.h"
#include "gameobj/effects.h"
#include "gameobj/spellValues.h"

#include "gameshell/controls.h"
#include "gameshell/gameobjExports.h"
#include "gameshell/soundEvents.h"
#include "gameshell/spells.h"
#include "gameshell/universe.h"
#include "world/hmGen.h"
#include "world/houses.h"
#include "worldrender/scenePasses.h"
#include "scripting/fxScript.h"

#include "engine/debug.h"
#include "engine/utils.h"

#include <squirrel.h>

#include <cmath>
#include <cstring>

int left_spell = 44, right_spell = 45;

namespace
{
enum { HILL = 44, PIT = 45 };
const int SAVED_SPELLS = 2 + SPELL_GRID_NX * SPELL_GRID_NY;

TempString<128> message;
float message_time = 0.f;

vec4f rgba(float r, float g, float b, float a) { return make4f(r, g, b, a); }

vec4f on_land(float x, float z) { return make4f(x, land_height(x, z), z, 1.f); }

// A new spell object of that id at the target, or null for an unknown id.
Spell* new_spell_object(int id, vec4f at)
{
  switch (id) {
#define PLUGIN_NEW_SPELL(cls, sid) \
  case sid:                        \
    return new_object<cls>(at);
    PLUGIN_CAST_SPELLS(PLUGIN_NEW_SPELL)
#undef PLUGIN_NEW_SPELL
  }
  return nullptr;
}

// A missile of class T from the caster along the view.
template <class T>
T* launch(const SpellAim& aim, int id)
{
  const SpellValues* sv = spell_values(id);
  T* m = new_object<T>(aim.from + aim.dir * v_splat(1.5f));
  m->vel = aim.dir * v_splat(sv->speed);
  m->life = sv->duration;
  return m;
}

bool valid_spell(int64_t id) { return id == 0 || (id > 0 && id < 1000 && get_spell_info(int(id))); }
}  // namespace

// ---- aiming and casting ----

SpellAim current_aim()
{
  SpellAim aim;
  aim.from = cur_view_itm.row[3];
  aim.from[3] = 1.f;
  vec4f d = cur_view_itm.row[2];
  d[3] = 0.f;
  const float len = v_extract_x(v_length3(d));
  aim.dir = len > 1e-6f ? d / v_splat(len) : make4f(0, 0, 1, 0);
  float dist = MAX_CAST_RANGE;
  if (aim.dir[0] * aim.dir[0] + aim.dir[2] * aim.dir[2] < 1e-6f) {
    // Straight down meets the land right below; straight up meets nothing.
    aim.onLand = aim.dir[1] < 0.f;
    aim.target = aim.onLand ? on_land(aim.from[0], aim.from[2]) : aim.from + aim.dir * v_splat(dist);
    return aim;
  }
  aim.onLand = trace_hmap_ray(aim.from, aim.dir, dist);
  aim.target = aim.from + aim.dir * v_splat(dist);
  if (aim.onLand) aim.target = on_land(aim.target[0], aim.target[2]);
  return aim;
}

bool cast_spell(int id, const SpellAim& aim)
{
  const SpellInfo* info = get_spell_info(id);
  const SpellValues* sv = spell_values(id);
  if (!info || !sv || !local_player) return false;
  const float cost = mana_cheat ? 0.f : sv->mana;
  if (local_player->mana < cost) {
    TempString<128> text;
    text.printf("Not enough mana for %s", info->displayName);
    show_cast_message(text.c_str());
    debug("gameobj: not enough mana for %s (%.0f of %.0f)", info->displayName, local_player->mana, cost);
    play_sound_event("spell_discharge");
    return false;
  }
  Spell* s = new_spell_object(id, aim.target);
  if (!s) return false;
  if (!s->cast(aim)) {
    debug("gameobj: %s was not cast", info->displayName);
    s->destroy();
    play_sound_event("spell_discharge");
    return false;
  }
  local_player->mana -= cost;
  debug("gameobj: cast %s (mana %.0f left)", info->displayName, local_player->mana);
  return true;
}

void update_casting(float dt, bool buttons)
{
  update_cast_message(dt);
  if (!local_player) return;
  local_player->mana = fminf(PLAYER_MAX_MANA, local_player->mana + MANA_REGEN * dt);
  if (!buttons) return;
  if (button_down(BUTTON_LEFT_SPELL) && left_spell) cast_spell(left_spell, current_aim());
  if (button_down(BUTTON_RIGHT_SPELL) && right_spell) cast_spell(right_spell, current_aim());
}

const char* cast_message() { return message_time > 0.f ? message.c_str() : nullptr; }

void show_cast_message(const char* text)
{
  message = text;
  message_time = 2.5f;
}

void update_cast_message(float dt) { message_time = message_time > dt ? message_time - dt : 0.f; }

// ---- the spells' work ----

namespace
{
// Land spells need the view to meet the land.
bool need_land(const SpellAim& aim)
{
  if (aim.onLand) return true;
  show_cast_message("Aim at the land");
  return false;
}

void start_glow(Spell* s, float* glow_time)
{
  *glow_time = SPELL_GLOW_TIME;
  spell_glow_fx(s->pos);
}
}  // namespace

bool FireballSpell::cast(const SpellAim& aim)
{
  launch<Fireball>(aim, 39);
  spell_sound("fireball_cast", aim.from);
  pos = aim.from;
  return true;
}

bool WaterballSpell::cast(const SpellAim& aim)
{
  launch<Waterball>(aim, 40);
  spell_sound("generic_missile", aim.from);
  pos = aim.from;
  return true;
}

bool FaultSpell::cast(const SpellAim& aim)
{
  if (!need_land(aim)) return false;
  // The fault runs across the view: its cliff faces the caster.
  Point2 normal{aim.dir[0], aim.dir[2]};
  if (normal.x * normal.x + normal.z * normal.z < 1e-6f) normal = Point2{0.f, 1.f};
  HeightmapData::genFault(Point2{aim.target[0], aim.target[2]}, normal, spell_values(41)->amount, 0.5f, 4.f, nullptr,
                          HeightmapData::GT_ROCK, 255, HeightmapData::target_hmap);
  spell_sound("generic_cast", aim.target);
  start_glow(this, &this->glow);
  return true;
}

bool MeteorSpell::cast(const SpellAim& aim)
{
  if (!need_land(aim)) return false;
  const SpellValues* sv = spell_values(43);
  // From high above, a little to the side, straight onto the target.
  const vec4f start = aim.target + make4f(8.f, METEOR_HEIGHT, 6.f, 0.f);
  MeteorMissile* m = new_object<MeteorMissile>(start);
  const vec4f d = aim.target - start;
  const float len = v_extract_x(v_length3(d));
  m->vel = d * v_splat(sv->speed / len);
  m->life = sv->duration + len / sv->speed;
  spell_sound("meteor_cast", aim.target);
  start_glow(this, &this->glow);
  return true;
}

bool HillSpell::cast(const SpellAim& aim)
{
  if (!need_land(aim)) return false;
  const SpellValues* sv = spell_values(44);
  bump_targets(aim.target[0], aim.target[2], sv->radius, sv->amount);
  spell_sound("generic_cast", aim.target);
  start_glow(this, &this->glow);
  return true;
}

bool PitSpell::cast(const SpellAim& aim)
{
  if (!need_land(aim)) return false;
  const SpellValues* sv = spell_values(45);
  bump_targets(aim.target[0], aim.target[2], sv->radius, -sv->amount);
  spell_sound("generic_cast", aim.target);
  start_glow(this, &this->glow);
  return true;
}

bool VolcanoSpell::cast(const SpellAim& aim)
{
  if (!need_land(aim)) return false;
  const SpellValues* sv = spell_values(46);
  // A cone rises, and lava wells up from its top for a while.
  bump_targets(aim.target[0], aim.target[2], sv->radius, VOLCANO_CONE);
  LavaSource* l = new_object<LavaSource>(aim.target);
  l->radius = sv->radius * 0.4f;
  l->rate = sv->amount;
  l->timeLeft = sv->duration;
  spell_sound("volcano_eruption", aim.target);
  start_glow(this, &this->glow);
  return true;
}

namespace
{
bool open_water_source(Spell* s, const SpellAim& aim, int id, float sign, float* glow_time)
{
  if (!need_land(aim)) return false;
  const SpellValues* sv = spell_values(id);
  WaterSource* w = new_object<WaterSource>(aim.target);
  w->radius = sv->radius;
  w->rate = sign * sv->amount;
  w->timeLeft = sv->duration;
  spell_sound("generic_cast", aim.target);
  start_glow(s, glow_time);
  return true;
}
}  // namespace

bool WaterSourceSpell::cast(const SpellAim& aim) { return open_water_source(this, aim, 47, 1.f, &glow); }
bool WaterSinkSpell::cast(const SpellAim& aim) { return open_water_source(this, aim, 48, -1.f, &glow); }

bool ThunderstormSpell::cast(const SpellAim& aim)
{
  if (!need_land(aim)) return false;
  const SpellValues* sv = spell_values(49);
  ThunderstormObject* t = new_object<ThunderstormObject>(aim.target);
  t->radius = sv->radius;
  t->harm = sv->amount;
  t->strikeRate = sv->speed;
  t->timeLeft = sv->duration;
  t->nextStrike = 0.3f;
  spell_sound("thstorm_cast", aim.target);
  start_glow(this, &this->glow);
  return true;
}

bool HealingSpell::cast(const SpellAim&)
{
  local_player->health = fminf(PLAYER_MAX_HEALTH, local_player->health + spell_values(50)->amount);
  pos = local_player->pos;
  call_fx_script("magic_sparkle", pos - make4f(0, 1, 0, 0), make4f(0, 1, 0, 0), rgba(0.5f, 1.f, 0.6f, 1.f), 2.f);
  play_sound_event("generic_cast");
  return true;
}

bool LightningSpell::cast(const SpellAim& aim)
{
  if (!need_land(aim)) return false;
  const SpellValues* sv = spell_values(51);
  lightning_strike(aim.target[0], aim.target[2], sv->radius, sv->amount);
  spell_sound("lightning_cast", aim.target);
  return true;
}

namespace
{
// A building of the templates (-1 castle, -2 tower) centred on the target
// cell; the land under it levels out toward it. Returns its foot.
vec4f build(const SpellAim& aim, int type)
{
  const int x = int(floorf(aim.target[0] + 0.5f)), z = int(floorf(aim.target[2] + 0.5f));
  HeightmapData::placeHouse(x, z, type, HeightmapData::target_hmap, false);
  const float fx = float(x & 255) + 0.5f, fz = float(z & 255) + 0.5f;
  return make4f(fx, HeightmapData::target_hmap[HeightmapData::cell_index(x, z)], fz, 1.f);
}
}  // namespace

bool CastleSpell::cast(const SpellAim& aim)
{
  if (!need_land(aim)) return false;
  new_castle(build(aim, -1));
  spell_sound("generic_cast", aim.target);
  start_glow(this, &this->glow);
  return true;
}

bool GuardTowerSpell::cast(const SpellAim& aim)
{
  if (!need_land(aim)) return false;
  new_object<GuardTower>(build(aim, -2));
  spell_sound("generic_cast", aim.target);
  start_glow(this, &this->glow);
  return true;
}

// Carries the player into the portal nearest the aimed point; passing
// through it takes the player out of the world.
bool UsePortalSpell::cast(const SpellAim& aim)
{
  WorldPortal* best = nullptr;
  float best_d = 0.f;
  for (WorldPortal* p : WorldPortal_list) {
    const float dx = p->pos[0] - aim.target[0], dz = p->pos[2] - aim.target[2];
    const float d = fminf(fabsf(dx), 256.f - fabsf(dx)) + fminf(fabsf(dz), 256.f - fabsf(dz));
    if (!best || d < best_d) best = p, best_d = d;
  }
  if (!best) {
    show_cast_message("There is no portal in this world");
    return false;
  }
  local_player->pos = best->pos + make4f(0.f, 1.5f, 0.f, 0.f);
  pos = local_player->pos;
  play_sound_event("generic_cast");
  return true;
}

// ---- the spell choice ----

void clear_spell_grid()
{
  spell_grid_nx = SPELL_GRID_NX;
  spell_grid_ny = SPELL_GRID_NY;
  memset(spell_grid, 0, sizeof(spell_grid));
}

bool grid_has_spell(int id)
{
  for (auto& row : spell_grid)
    for (int v : row)
      if (v == id) return true;
  return false;
}

void add_every_spell()
{
  for (const SpellInfo* row = spell_table; row->id; ++row) {
    if (grid_has_spell(row->id)) continue;
    int* free_place = nullptr;
    for (auto& r : spell_grid)
      for (int& v : r)
        if (!free_place && v == 0) free_place = &v;
    if (free_place) *free_place = row->id;
  }
}

void init_spell_choice()
{
  clear_spell_grid();
  add_every_spell();
  left_spell = HILL;
  right_spell = PIT;
}

void save_spell_choice()
{
  if (cur_game_info.isNull() || !cur_game_info.vm) return;
  HSQUIRRELVM vm = cur_game_info.vm;
  sqbind::StackRestore keep(vm);
  sq_pushobject(vm, cur_game_info.o);
  sq_pushstring(vm, "spells", -1);
  sq_newarray(vm, 0);
  const int head[2] = {left_spell, right_spell};
  for (int v : head) {
    sq_pushinteger(vm, v);
    sq_arrayappend(vm, -2);
  }
  for (auto& row : spell_grid)
    for (int v : row) {
      sq_pushinteger(vm, v);
      sq_arrayappend(vm, -2);
    }
  if (SQ_FAILED(sq_newslot(vm, -3, SQFalse))) debug("gameobj: can't keep the spell choice");
}

void load_spell_choice()
{
  init_spell_choice();
  if (cur_game_info.isNull() || !cur_game_info.vm || cur_game_info.getType() != OT_TABLE) return;
  HSQUIRRELVM vm = cur_game_info.vm;
  sqbind::StackRestore keep(vm);
  sq_pushobject(vm, cur_game_info.o);
  sq_pushstring(vm, "spells", -1);
  if (SQ_FAILED(sq_get(vm, -2))) return;  // a game from before spells: the first choice
  if (sq_gettype(vm, -1) != OT_ARRAY || sq_getsize(vm, -1) != SAVED_SPELLS) {
    debug("gameobj: the saved spell choice is damaged; the first choice instead");
    return;
  }
  int saved[SAVED_SPELLS];
  for (int i = 0; i < SAVED_SPELLS; ++i) {
    sq_pushinteger(vm, i);
    SQInteger v = -1;
    if (SQ_FAILED(sq_get(vm, -2)) || sq_gettype(vm, -1) != OT_INTEGER || SQ_FAILED(sq_getinteger(vm, -1, &v)) ||
        !valid_spell(v)) {
      debug("gameobj: the saved spell choice is damaged; the first choice instead");
      return;
    }
    saved[i] = int(v);
    sq_pop(vm, 1);
  }
  left_spell = saved[0];
  right_spell = saved[1];
  memcpy(spell_grid, saved + 2, sizeof(spell_grid));
}

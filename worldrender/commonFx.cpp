#include "worldrender/commonFx.h"

#include <cmath>
#include <cstring>

#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/d3d_vbuf.h"
#include "engine/debug.h"
#include "engine/dynVBWriter.h"
#include "engine/postFx.h"
#include "engine/textureCache.h"
#include "worldrender/lightning.h"
#include "worldrender/scenePasses.h"
#include "worldrender/trails.h"

ParticlePool blend_particles, glow_particles;
CommonFxStats common_fx_stats;

namespace
{
const float TICK = 0.05f;

struct FxResources
{
  bool ready = false;
  bool singleTarget = false;
  Texture blendTex = nullptr, glowTex = nullptr, lightningTex = nullptr;
  // [0] plain, [1] SINGLE_RT
  Shader* effect[2] = {nullptr, nullptr};
  Shader* blendPart[2] = {nullptr, nullptr};
  Shader* glowPart[2] = {nullptr, nullptr};
  Shader* postBlend[2] = {nullptr, nullptr};
  VertexDecl particleDecl = nullptr, effectDecl = nullptr;
  VertexBuffer quadVB = nullptr;
  IndexBuffer quadIB = nullptr;
};
FxResources fx;

void step_particle(Particle& p, float d)
{
  p.prevPos = p.pos;
  const float drag = p.vel[3];
  for (int i = 0; i < 3; ++i) p.vel[i] = p.vel[i] + d * (p.accel[i] - p.vel[i] * drag);
  p.vel[3] = p.vel[3] + d * p.accel[3];
  for (int i = 0; i < 3; ++i) p.pos[i] = p.pos[i] + d * p.vel[i];
}

void add_particle(ParticlePool& pool, vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size,
                  D3dColor color, float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                  ColorRamp* colorAnim, FloatRamp* sizeAnim, FloatRamp* rollAnim)
{
  // A particle without a life would mark its slot free while the slot is
  // off the free list (lost for good), and divide by zero when drawn.
  if (!(life > 0.f) || !std::isfinite(life)) return;
  if (pool.freeHead == -1) {
    Particle slot;
    memset((void*)&slot, 0, sizeof(slot));
    slot.life = -1.f;
    slot.nextFree = -1;
    pool.freeHead = pool.parts.push_back(slot);
  }
  const int i = pool.freeHead;
  Particle& p = pool.parts[i];
  pool.freeHead = p.nextFree;
  pool.live++;

  p.pos = pos;
  p.vel = vel;
  p.accel = accel;
  p.prevPos = pos;
  p.life = life;
  p.age = -delay;
  p.size = size;
  p.color = color;
  p.h = mapSize * 0.5f;
  p.uvCentre[0] = (p.h + mapU) / 512.f;
  p.uvCentre[1] = (p.h + mapV) / 256.f;
  p.startRoll = startRoll;
  p.rollScale = rollScale;
  p.colorAnim = colorAnim;
  p.sizeAnim = sizeAnim;
  p.rollAnim = rollAnim;

  if (delay > 0.f) {
    if (TICK - delay > 0.f) step_particle(p, TICK - delay);
  } else {
    step_particle(p, TICK);
  }
}

// The particle quad, the effect declarations and the shader pairs.
void create_fx_geometry()
{
  fx.quadVB = create_vb(16, VB_STATIC);
  fx.quadIB = create_ib(6, VB_STATIC);
  if (!fx.quadVB || !fx.quadIB) fatal("can't create particle VB");
  int16_t* vp = (int16_t*)lock_vb(fx.quadVB, 0, 0);
  ASSERT_AT("trailFx", 565, vp);
  const int16_t corners[8] = {-1, -1, 1, -1, -1, 1, 1, 1};
  memcpy(vp, corners, sizeof(corners));
  unlock_vb(fx.quadVB);
  uint16_t* ip = (uint16_t*)lock_ib(fx.quadIB, 0, 0);
  ASSERT_AT("trailFx", 570, ip);
  const uint16_t idx[6] = {0, 2, 1, 1, 2, 3};
  memcpy(ip, idx, sizeof(idx));
  unlock_ib(fx.quadIB);

  const VertexElementDesc particle[] = {
      {0, 0, VDECL_SHORT2, VDECL_POSITION, 10}, {0, 1, VDECL_FLOAT3, VDECL_POSITION, 0},
      {12, 1, VDECL_FLOAT2, VDECL_POSITION, 1}, {20, 1, VDECL_D3DCOLOR, VDECL_COLOR, 0},
      {24, 1, VDECL_FLOAT4, VDECL_TEXCOORD, 0}, {0, 255, 0, 0, 0},
  };
  const VertexElementDesc effect[] = {
      {0, 0, VDECL_FLOAT3, VDECL_POSITION, 0},
      {12, 0, VDECL_D3DCOLOR, VDECL_COLOR, 0},
      {16, 0, VDECL_FLOAT2, VDECL_TEXCOORD, 0},
      {0, 255, 0, 0, 0},
  };
  fx.particleDecl = get_vertex_decl(particle);
  fx.effectDecl = get_vertex_decl(effect);
}

void load_shader_pair(Shader* (&pair)[2], const char* name)
{
  pair[0] = create_shader(name, nullptr);
  pair[1] = create_shader(name, single_rt_defines);
}

void draw_particle_pool(const ParticlePool& pool, Shader* shader, Texture tex, float t, float f)
{
  set_shader(shader);
  set_texture(0, tex);
  common_vb_writer.begin(dyn_vb_draw_instances, (4 << 16) + 2);
  write_particle_instances(pool, t, f);
  common_vb_writer.flush(true);
}
}  // namespace

// ---- shared helpers ----

vec4f ramp_color_at(const ColorRamp& ramp, float x)
{
  if (!(x > 0.f)) return ramp.samples[0];
  if (x >= 256.f) return ramp.samples[256];
  const int i = int(x);
  return v_lerp(ramp.samples[i], ramp.samples[i + 1], x - float(i));
}

float ramp_float_at(const FloatRamp& ramp, float x)
{
  if (!(x > 0.f)) return ramp.samples[0];
  if (x >= 256.f) return ramp.samples[256];
  const int i = int(x);
  return lerp(ramp.samples[i], ramp.samples[i + 1], x - float(i));
}

D3dColor scale_color(D3dColor c, vec4f k) { return vec4f_to_color(color_to_vec4f(c) * k); }

void put_effect_vertex(uint8_t*& p, vec4f pos, D3dColor color, float u, float v)
{
  v_stream_xyz(p, pos);
  stream_u32(p + 12, color.u);
  stream_u32(p + 16, float_to_bits(u));
  stream_u32(p + 20, float_to_bits(v));
  p += EFFECT_VERTEX_SIZE;
}

// ---- pools ----

void add_blend_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size, D3dColor color,
                        float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                        ColorRamp* colorAnim, FloatRamp* sizeAnim, FloatRamp* rollAnim)
{
  add_particle(blend_particles, pos, vel, accel, life, delay, size, color, mapU, mapV, mapSize, startRoll, rollScale,
               colorAnim, sizeAnim, rollAnim);
}

void add_glow_particle(vec4f pos, vec4f vel, vec4f accel, float life, float delay, float size, D3dColor color,
                       float mapU, float mapV, float mapSize, float startRoll, float rollScale,
                       ColorRamp* colorAnim, FloatRamp* sizeAnim, FloatRamp* rollAnim)
{
  add_particle(glow_particles, pos, vel, accel, life, delay, size, color, mapU, mapV, mapSize, startRoll, rollScale,
               colorAnim, sizeAnim, rollAnim);
}

void update_particle_pool(ParticlePool& pool, float dt)
{
  for (int i = 0; i < pool.parts.num; ++i) {
    Particle& p = pool.parts[i];
    if (p.life <= 0.f) continue;
    p.age += dt;
    if (p.age >= p.life) {
      p.life = -1.f;
      p.nextFree = pool.freeHead;
      pool.freeHead = i;
      pool.live--;
    } else if (p.age < 0.f) {
      if (p.age + dt > 0.f) step_particle(p, p.age + dt);
    } else {
      step_particle(p, dt);
    }
  }
}

int live_particles(const ParticlePool& pool) { return pool.live; }

void write_particle_instances(const ParticlePool& pool, float t, float f)
{
  DynVBWriter& w = common_vb_writer;
  const vec4f cam = cur_view_itm.row[3];
  for (const Particle& p : pool.parts) {
    if (p.life <= 0.f) continue;
    const float a = (p.age + t) / p.life;
    if (!(a >= 0.f && a <= 1.f)) continue;
    float wgt = f;
    if (p.age < 0.f) {
      // The share of the tick the particle has been visible; a frame at the
      // very start of a tick (t = 0) has nothing to blend.
      const float span = (f > 0.f ? t / f : 0.f) + p.age;
      wgt = span > 0.f ? (p.age + t) / span : 1.f;
    }
    if (!(wgt >= 0.f)) wgt = 0.f;
    if (wgt > 1.f) wgt = 1.f;
    if (w.bytesWritten() + PARTICLE_RECORD_SIZE > w.size) w.flush(false);

    vec4f pos = p.prevPos + (p.pos - p.prevPos) * v_splat(wgt);
    pos[0] = cam[0] + wrap_world_coord(pos[0] - cam[0]);
    pos[2] = cam[2] + wrap_world_coord(pos[2] - cam[2]);

    const float x = a * 256.f;
    D3dColor color = p.colorAnim ? scale_color(p.color, ramp_color_at(*p.colorAnim, x)) : p.color;
    const float size = p.sizeAnim ? p.size * ramp_float_at(*p.sizeAnim, x) : p.size;
    const float roll = p.rollAnim ? p.startRoll + p.rollScale * ramp_float_at(*p.rollAnim, x) : p.startRoll;

    ASSERT_AT("trailFx", 421, w.ptr);
    uint8_t* o = w.ptr;
    v_stream_xyz(o, pos);
    stream_u32(o + 12, float_to_bits(size));
    stream_u32(o + 16, float_to_bits(roll));
    stream_u32(o + 20, color.u);
    stream_u32(o + 24, float_to_bits(p.uvCentre[0]));
    stream_u32(o + 28, float_to_bits(p.uvCentre[1]));
    stream_u32(o + 32, float_to_bits(p.h / 512.f));
    stream_u32(o + 36, float_to_bits(-(p.h / 256.f)));
    w.ptr += PARTICLE_RECORD_SIZE;
    w.count += 1;
    common_fx_stats.particles++;
  }
}

// ---- the common entry points ----

void reset_common_fx()
{
  for (ParticlePool* pool : {&blend_particles, &glow_particles}) {
    pool->parts.clear();
    pool->parts.reserve(PARTICLE_RESERVE);
    pool->freeHead = -1;
    pool->live = 0;
  }
  reset_trails();
  reset_lightning();
}

void init_common_fx()
{
  reset_common_fx();
  close_common_fx();
  fx.blendTex = get_texture("blendfx.dds", true);
  fx.glowTex = get_texture("glowfx.dds", true);
  fx.lightningTex = get_texture("lightning.dds", true);
  load_shader_pair(fx.effect, "effect.sh");
  load_shader_pair(fx.blendPart, "blendPart.sh");
  load_shader_pair(fx.glowPart, "glowPart.sh");
  load_shader_pair(fx.postBlend, "postBlend.sh");
  create_fx_geometry();
  fx.singleTarget = effect_image != nullptr;
  fx.ready = true;
}

void close_common_fx()
{
  for (Shader** pair : {fx.effect, fx.blendPart, fx.glowPart, fx.postBlend})
    for (int i = 0; i < 2; ++i) {
      destroy_shader(pair[i]);
      pair[i] = nullptr;
    }
  for (Texture* t : {&fx.blendTex, &fx.glowTex, &fx.lightningTex}) {
    free_texture(*t);
    *t = nullptr;
  }
  release_vb(fx.quadVB);
  release_ib(fx.quadIB);
  fx.quadVB = nullptr;
  fx.quadIB = nullptr;
  fx.ready = false;
}

void update_common_fx(float dt)
{
  update_particle_pool(blend_particles, dt);
  update_particle_pool(glow_particles, dt);
  update_all_trails(dt);
  update_lightning(dt);
}

// Stencil comparisons, and the bit of the effects' marks (the scene passes
// use the two lowest bits).
enum { CMP_EQUAL = 3, CMP_ALWAYS = 8, EFFECT_STENCIL_BIT = 0x80 };

void render_common_fx(float t, float f)
{
  common_fx_stats.last_t = t;
  common_fx_stats.last_f = f;
  common_fx_stats.particles = 0;
  if (!fx.ready) return;
  if (!blend_particles.live && !glow_particles.live && lightning_bolts.empty() && !live_trails()) return;
  const int v = fx.singleTarget ? 1 : 0;
  if (fx.singleTarget) {
    set_render_target(effect_image, 0, true);
  } else {
    set_render_target(gbuf1, 0, true);
    set_render_target(gbuf2, 1, false);
  }
  clear_view_color(0);
  // Every pixel an effect reaches gets the top stencil bit, so the composite
  // can leave the others (where the cleared target would add nothing) alone.
  const bool mark = frame_shortcuts;
  if (mark) {
    set_stencil_test(EFFECT_STENCIL_BIT, EFFECT_STENCIL_BIT, CMP_ALWAYS);
    set_stencil_replace_bits(EFFECT_STENCIL_BIT);
  }

  set_vertex_decl(fx.particleDecl);
  set_vb(0, fx.quadVB, 0, 4);
  set_vb(1, common_vb_writer.vb, 0, PARTICLE_RECORD_SIZE);
  set_ib(fx.quadIB);
  set_blend_additive();
  set_cull_mode(0);
  set_zwrite(false);
  draw_particle_pool(blend_particles, fx.blendPart[v], fx.blendTex, t, f);
  draw_particle_pool(glow_particles, fx.glowPart[v], fx.glowTex, t, f);

  set_instancing(0);
  set_vertex_decl(fx.effectDecl);
  set_vb(0, common_vb_writer.vb, 0, EFFECT_VERTEX_SIZE);
  set_shader(fx.effect[v]);
  common_vb_writer.begin(dyn_vb_draw_triangles, 4);
  render_all_trails(f);
  common_vb_writer.flush(false);
  set_texture(0, fx.lightningTex);
  render_lightning(t);
  common_vb_writer.flush(true);

  set_blend_none();
  set_cull_mode(1);
  set_zwrite(true);

  // Composite over the scene image.
  set_render_target(scene_image, 0, true);
  set_render_target(nullptr, 1, false);
  set_shader(fx.postBlend[v]);
  if (fx.singleTarget) {
    set_texture(0, effect_image);
  } else {
    set_texture(0, gbuf1);
    set_texture(1, gbuf2);
  }
  set_texture_address(0, 1, 1, 1);
  const float c16[4] = {0.5f, -0.5f, 0.5f + 0.5f / float(d3d_wd), 0.5f + 0.5f / float(d3d_ht)};
  set_vs_constants(16, c16, 1);
  set_zenable(false);
  set_blend_prealpha();
  if (mark) {
    set_stencil_replace_bits(0);
    set_stencil_test(EFFECT_STENCIL_BIT, EFFECT_STENCIL_BIT, CMP_EQUAL);
  }
  if (use_wireframe) set_wireframe(false);
  draw_postfx();
  if (use_wireframe) set_wireframe(true);
  if (mark) set_stencil_test(0, 0, CMP_ALWAYS);
  set_blend_none();
  set_cull_mode(1);
  set_zenable(true);
  set_zwrite(true);
}

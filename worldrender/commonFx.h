// The common effects: the world's transient visuals that the game keeps for
// the gameobj plug-in and the effect script. Sprite particles in two pools
// (alpha "blend" particles and additive "glow" particles), trails
// (trails.h) and lightning bolts (lightning.h), simulated once per game tick
// and drawn every frame by the effects pass: every effect into its own
// target (effect_image, or gbuf1 and gbuf2 where the device cannot blend
// into a floating-point target), which "postBlend.sh" then lays over the
// scene image with premultiplied alpha.
//
// A particle's simulated position runs one tick ahead of its age: after an
// update, prevPos is where it is at the tick's start and pos where it will be
// at its end; frames blend the two. Freed slots are reused through a free
// list; each pool keeps room for 10000 particles and grows beyond on demand.
// A particle whose life is not a positive number is not added.
// Every particle, trail and bolt is drawn at its image nearest the camera on
// the 256-unit torus. Main thread only; init and render need the device.
#pragma once

#include "engine/color.h"
#include "engine/dynArray.h"
#include "engine/ramps.h"
#include "engine/vec4f.h"
#include "scripting/fxServices.h"

struct Particle
{
  vec4f pos;      // at the end of the current tick; w not read
  vec4f vel;      // per second; w the drag coefficient
  vec4f accel;    // per second squared; w the drag's rate of change
  vec4f prevPos;  // at the start of the current tick
  float life;     // seconds; <= 0 marks a free slot
  union
  {
    float age;     // seconds since it became visible; starts at -delay
    int nextFree;  // in a free slot: the next free slot, -1 ends
  };
  float size;
  D3dColor color;
  float uvCentre[2];  // sprite centre in the atlas, 0..1
  float h;            // half the sprite size in texels
  float startRoll;
  float rollScale;
  ColorRamp* colorAnim;
  FloatRamp* sizeAnim;
  FloatRamp* rollAnim;
};

struct ParticlePool
{
  DynArray<Particle> parts;
  int freeHead = -1;
  int live = 0;  // slots in use
};

extern ParticlePool blend_particles, glow_particles;

enum { PARTICLE_RESERVE = 10000, PARTICLE_RECORD_SIZE = 40, EFFECT_VERTEX_SIZE = 24 };

// Loads the textures ("blendfx.dds", "glowfx.dds", "lightning.dds", all must
// exist), the shaders ("effect.sh", "blendPart.sh", "glowPart.sh",
// "postBlend.sh", each with and without SINGLE_RT) and the particle quad;
// the single-target mode is fixed by whether effect_image exists. Calls
// reset_common_fx first.
void init_common_fx();
void close_common_fx();
// Empties both pools, frees every trail, removes every bolt.
void reset_common_fx();
// Once per tick: the blend pool, the glow pool, the trails, the lightning.
void update_common_fx(float dt);
// The effects pass (t: seconds since the tick, f: its fraction). Nothing
// at all before init_common_fx, nor while no effect is live (the pass would
// leave the scene image as it is).
void render_common_fx(float t, float f);

// One pool's tick, and the instance records of one pool written into
// common_vb_writer (begun by the caller).
void update_particle_pool(ParticlePool& pool, float dt);
void write_particle_instances(const ParticlePool& pool, float t, float f);
int live_particles(const ParticlePool& pool);

// Shared by the particles, trails and bolts: a ramp read at x in 0..256
// (the end samples outside, linear between neighbours), a colour scaled by
// a vec4f and packed again, and one effect vertex (position, colour, u, v)
// written at p.
vec4f ramp_color_at(const ColorRamp& ramp, float x);
float ramp_float_at(const FloatRamp& ramp, float x);
D3dColor scale_color(D3dColor c, vec4f k);
void put_effect_vertex(uint8_t*& p, vec4f pos, D3dColor color, float u, float v);

// What the effects pass did (tests, statistics): the t and f of its latest
// call, and the particles it drew then.
struct CommonFxStats
{
  float last_t, last_f;
  int particles;
};
extern CommonFxStats common_fx_stats;

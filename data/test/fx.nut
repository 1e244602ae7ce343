// The effect script: particle effects built from the engine's two pools,
// alpha-blended ("blend") and additive ("glow"). The plug-in calls any of the
// effect functions below by name with three vectors and a number,
//   effect(a, b, c, f)
// where a is where the effect happens, b a velocity or direction it carries,
// c a colour (r, g, b, a in 0..1) and f its strength (1 is normal).
//
// A particle's velocity carries its drag in w (how fast it slows), its
// acceleration the drag's own rate of change in w. Sprites are cells of the
// effect atlases (512 x 256 texels): mapU, mapV of the cell's corner and its
// size, all in texels. Random numbers come from the shared generator.

// ---- sprites of the atlases ----

sprites <- {
  puff = [0, 0, 64],     // soft round puff
  smoke = [64, 0, 64],   // ragged smoke
  flame = [128, 0, 64],  // licking flame
  spark = [192, 0, 32],  // small hard spark
  drop = [224, 0, 32],   // water drop
  ring = [256, 0, 64],   // thin ring
  star = [320, 0, 64],   // four-point star
  glow = [384, 0, 128],  // wide soft glow
};

// ---- ramps shared by the effects ----

fade_glow <- ColorRamp.fadeInOut(0x00000000, 0xFFFFFFFF, 0x00000000, 0.08, 0.7);
fade_blend <- ColorRamp.fadeInOut(0x00FFFFFF, 0xFFFFFFFF, 0x00FFFFFF, 0.1, 0.8);
fade_late <- ColorRamp.fadeInOut(0x00FFFFFF, 0xFFFFFFFF, 0x00FFFFFF, 0.05, 0.25);
fire_heat <- ColorRamp(function(t) {
  // White-hot to orange to a dark red that fades out.
  if (t < 0.15) return lerpcolor(0x00FFFFE0, 0xFFFFE080, t / 0.15);
  if (t < 0.5) return lerpcolor(0xFFFFE080, 0xFFFF7020, (t - 0.15) / 0.35);
  return lerpcolor(0xFFFF7020, 0x00601008, (t - 0.5) / 0.5);
});
smoke_tone <- ColorRamp.fadeInOut(0x00505050, 0xB0404040, 0x00303030, 0.15, 0.7);

grow <- FloatRamp.linear(0.5, 2.0);
grow_big <- FloatRamp.linear(0.6, 4.0);
shrink <- FloatRamp.linear(1.0, 0.1);
pop <- FloatRamp.fadeInOut(0.2, 1.0, 1.6, 0.2, 0.6);
steady <- FloatRamp.constRamp(1.0);
no_roll <- FloatRamp.constRamp(0.0);
turn <- FloatRamp.linear(0.0, 1.0);

// ---- helpers ----

// A parameter table for add_*_particle.
function particle(sprite, life, size, color, colorAnim, sizeAnim, accel = null, rollAnim = null, delay = 0.0)
{
  return {
    accel = accel != null ? accel : make4f(0.0, 0.0, 0.0, 0.0),
    life = life,
    delay = delay,
    size = size,
    mapU = sprite[0],
    mapV = sprite[1],
    mapSize = sprite[2],
    startRoll = frnd() * 6.2831853,
    rollScale = rollAnim != null ? srnd() * 3.0 : 0.0,
    colorAnim = colorAnim,
    sizeAnim = sizeAnim,
    rollAnim = rollAnim != null ? rollAnim : no_roll,
    color = color
  };
}

// A random vector in the unit ball (w = 0).
function rnd_ball()
{
  for (;;) {
    local x = srnd(), y = srnd(), z = srnd();
    if (x * x + y * y + z * z <= 1.0) return make4f(x, y, z, 0.0);
  }
}

// The velocity v with drag d in w.
function with_drag(v, d) { return make4f(v[0], v[1], v[2], d); }

function count_of(n, f) { return (n * (f > 0.0 ? f : 0.0) + 0.5).tointeger(); }

// ---- effects ----

// Fire bursting from a point: flames, embers and a little smoke.
function fire_burst(pos, dir, color, f)
{
  local up = make4f(0.0, 3.0, 0.0, 0.0);
  for (local i = count_of(14, f); i > 0; i--) {
    local v = with_drag(dir * 0.3 + rnd_ball() * 4.0 + up, 2.5);
    add_glow_particle(pos + rnd_ball() * 0.4, v,
                      particle(sprites.flame, rndf(0.4, 0.8), rndf(0.8, 1.4) * f, 0xFFFFFFFF, fire_heat, grow, make4f(0, 2.0, 0, 0), turn));
  }
  for (local i = count_of(10, f); i > 0; i--) {
    local v = with_drag(dir * 0.5 + rnd_ball() * 9.0 + up * 2.0, 1.0);
    add_glow_particle(pos, v, particle(sprites.spark, rndf(0.6, 1.2), 0.25, 0xFFFFC060, fade_glow, shrink, make4f(0, -9.8, 0, 0)));
  }
  smoke_column(pos, dir * 0.1, make4f(0.3, 0.3, 0.3, 0.7), f * 0.5);
}

// Rising smoke, slowly spreading.
function smoke_column(pos, drift, color, f)
{
  for (local i = count_of(8, f); i > 0; i--) {
    local v = with_drag(drift + make4f(srnd() * 0.6, rndf(1.5, 3.0), srnd() * 0.6, 0.0), 0.4);
    add_blend_particle(pos + rnd_ball(), v,
                       particle(sprites.smoke, rndf(2.0, 3.5), rndf(1.0, 1.6) * f, tocolor(color), smoke_tone, grow_big,
                                make4f(0.0, 0.3, 0.0, 0.0), turn, frnd() * 0.3));
  }
}

// Water thrown up where something falls in: drops arc out and fall back.
function water_splash(pos, vel, color, f)
{
  local c = tocolor(color);
  for (local i = count_of(20, f); i > 0; i--) {
    local b = rnd_ball();
    local v = with_drag(make4f(b[0] * 4.0, rndf(4.0, 8.0), b[2] * 4.0, 0.0) + vel * 0.2, 0.3);
    add_blend_particle(pos, v, particle(sprites.drop, rndf(0.6, 1.1), rndf(0.2, 0.35) * f, c, fade_late, steady, make4f(0, -14.0, 0, 0)));
  }
  add_blend_particle(pos, make4f(0, 0, 0, 0), particle(sprites.ring, 0.8, 1.5 * f, c, fade_blend, grow_big));
}

// A ring of sparkles rising round a point: spells, pick-ups, portals.
function magic_sparkle(pos, axis, color, f)
{
  local c = tocolor(color);
  local n = count_of(16, f);
  for (local i = 0; i < n; i++) {
    local a = i * 6.2831853 / n + srnd() * 0.2;
    local out = make4f(cos(a), 0.0, sin(a), 0.0);
    local v = with_drag(out * 2.5 + make4f(0.0, rndf(1.0, 3.0), 0.0, 0.0), 1.5);
    add_glow_particle(pos + out * 0.6, v, particle(sprites.star, rndf(0.7, 1.2), rndf(0.3, 0.5) * f, c, fade_glow, pop, null, turn));
  }
  add_glow_particle(pos, make4f(0, 0, 0, 0), particle(sprites.glow, 0.6, 2.0 * f, c, fade_glow, pop));
}

// Lava flung out of a vent: glowing blobs on high arcs that cool as they fly.
function lava_spit(pos, dir, color, f)
{
  for (local i = count_of(6, f); i > 0; i--) {
    local v = with_drag(dir + rnd_ball() * 5.0 + make4f(0.0, rndf(8.0, 14.0), 0.0, 0.0), 0.1);
    add_glow_particle(pos, v, particle(sprites.puff, rndf(1.2, 2.0), rndf(0.5, 0.9) * f, 0xFFFFFFFF, fire_heat, shrink, make4f(0, -12.0, 0, 0)));
  }
  smoke_column(pos, dir * 0.05, make4f(0.2, 0.18, 0.16, 0.8), f);
}

// The steady shimmer of an open portal; f is its opening (0 shut, 1 open).
function portal_glow(pos, normal, color, f)
{
  local c = tocolor(color);
  add_glow_particle(pos + rnd_ball() * 1.5, make4f(0.0, rndf(0.5, 1.5), 0.0, 0.8),
                    particle(sprites.spark, rndf(0.8, 1.4), 0.3 * f, c, fade_glow, shrink));
  if (frnd() < 0.25) add_glow_particle(pos, make4f(0, 0, 0, 0), particle(sprites.ring, 1.0, 3.0 * f, c, fade_glow, pop, null, turn));
}

// Steam where water meets lava.
function steam_puff(pos, drift, color, f)
{
  for (local i = count_of(4, f); i > 0; i--)
    add_blend_particle(pos + rnd_ball() * 0.5, with_drag(drift + make4f(srnd(), rndf(2.0, 4.0), srnd(), 0.0), 0.8),
                       particle(sprites.puff, rndf(1.0, 2.0), rndf(0.6, 1.0), 0xC0F0F0F0, fade_blend, grow_big, null, turn));
}

function update_fx(dt) {}

// The sky's colours for the height of the sun.
//
// The game calls get_sky_colors(zenith) whenever the sun moves; zenith is the
// angle between the sun and straight up in degrees (0 noon, 90 sunset, 180 the
// sun straight below). It returns ten [r, g, b] entries, in this order:
//   0 horizon     the sky at the horizon, and the colour distant land fades into
//   1 zenith_add  added toward the zenith: sky(h) = horizon + zenith_add * exp(-falloff / h)
//   2 falloff     how fast each channel of zenith_add fades toward the horizon
//   3 sun_light   direct sunlight on lit ground (may exceed 1)
//   4 light_mix   [sky light strength, ground bounce strength, 0]
//   5 glow        the haze round the sun
//   6 glow_shape  [tightness of the haze, share spread over the whole sky, 0]
//   7 fog_tint    per-channel weights of the fog density
//   8 fog         [density per 1000 units, fall-off with height, most fog cover]
//   9 disc        [sun disc brightness, disc radius in radians, star brightness]
// Save the file while the game runs: the sky changes within a second.

// One key per sun height; between two keys everything blends linearly.
// `top` is the colour straight up; zenith_add is worked out from it.
sky_keys <- [
  { zenith = 0,   // noon
    horizon = [0.70, 0.80, 0.93], top = [0.22, 0.42, 0.85], falloff = [0.55, 0.40, 0.22],
    sun_light = [1.25, 1.20, 1.08], light_mix = [0.55, 0.18, 0],
    glow = [0.26, 0.25, 0.20], glow_shape = [28, 0.02, 0],
    fog_tint = [0.65, 0.80, 1.00], fog = [2.2, 0.020, 0.65], disc = [3.0, 0.022, 0] },
  { zenith = 60,  // afternoon
    horizon = [0.74, 0.80, 0.90], top = [0.24, 0.43, 0.82], falloff = [0.55, 0.40, 0.22],
    sun_light = [1.20, 1.12, 0.98], light_mix = [0.55, 0.17, 0],
    glow = [0.32, 0.28, 0.20], glow_shape = [22, 0.03, 0],
    fog_tint = [0.70, 0.80, 1.00], fog = [2.4, 0.020, 0.65], disc = [3.0, 0.022, 0] },
  { zenith = 80,  // golden hour
    horizon = [0.92, 0.76, 0.58], top = [0.28, 0.40, 0.72], falloff = [0.65, 0.45, 0.25],
    sun_light = [1.18, 0.88, 0.55], light_mix = [0.50, 0.14, 0],
    glow = [0.55, 0.36, 0.15], glow_shape = [14, 0.05, 0],
    fog_tint = [0.80, 0.82, 0.92], fog = [2.8, 0.020, 0.70], disc = [2.6, 0.026, 0] },
  { zenith = 90,  // sunset
    horizon = [1.00, 0.55, 0.30], top = [0.20, 0.27, 0.50], falloff = [0.80, 0.50, 0.25],
    sun_light = [0.95, 0.48, 0.22], light_mix = [0.50, 0.10, 0],
    glow = [0.75, 0.34, 0.12], glow_shape = [8, 0.07, 0],
    fog_tint = [0.90, 0.85, 0.90], fog = [3.0, 0.025, 0.70], disc = [2.0, 0.030, 0] },
  { zenith = 96,  // dusk
    horizon = [0.52, 0.30, 0.32], top = [0.09, 0.11, 0.27], falloff = [0.90, 0.55, 0.30],
    sun_light = [0.22, 0.10, 0.08], light_mix = [0.75, 0.08, 0],
    glow = [0.42, 0.16, 0.10], glow_shape = [4, 0.05, 0],
    fog_tint = [0.85, 0.85, 1.00], fog = [3.0, 0.025, 0.65], disc = [2.0, 0.030, 0.25] },
  { zenith = 104, // last light
    horizon = [0.16, 0.14, 0.24], top = [0.04, 0.06, 0.16], falloff = [0.60, 0.45, 0.30],
    sun_light = [0.02, 0.02, 0.04], light_mix = [1.10, 0.05, 0],
    glow = [0.12, 0.06, 0.08], glow_shape = [2, 0.04, 0],
    fog_tint = [0.80, 0.85, 1.00], fog = [2.6, 0.025, 0.60], disc = [0.0, 0.030, 0.70] },
  { zenith = 115, // night
    horizon = [0.07, 0.09, 0.16], top = [0.025, 0.04, 0.11], falloff = [0.50, 0.40, 0.30],
    sun_light = [0.00, 0.00, 0.00], light_mix = [1.50, 0.05, 0],
    glow = [0.00, 0.00, 0.00], glow_shape = [1, 0.00, 0],
    fog_tint = [0.80, 0.85, 1.00], fog = [2.2, 0.025, 0.55], disc = [0.0, 0.030, 1.00] },
]

function lerp3(a, b, t)
{
  return [a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t, a[2] + (b[2] - a[2]) * t]
}

// Smoothed between keys, so the colours do not change speed at a key.
function key_blend(zenith)
{
  if (zenith <= sky_keys[0].zenith)
    return { a = sky_keys[0], b = sky_keys[0], t = 0.0 }
  for (local i = 1; i < sky_keys.len(); i++) {
    local b = sky_keys[i]
    if (zenith <= b.zenith) {
      local a = sky_keys[i - 1]
      local t = (zenith - a.zenith).tofloat() / (b.zenith - a.zenith)
      return { a = a, b = b, t = t * t * (3.0 - 2.0 * t) }
    }
  }
  local last = sky_keys[sky_keys.len() - 1]
  return { a = last, b = last, t = 0.0 }
}

function get_sky_colors(zenith)
{
  local k = key_blend(zenith)
  local pick = @(name) lerp3(k.a[name], k.b[name], k.t)

  local horizon = pick("horizon")
  local top = pick("top")
  local falloff = pick("falloff")
  // top = horizon + zenith_add * exp(-falloff) at h = 1.
  local zenith_add = [0, 0, 0]
  for (local c = 0; c < 3; c++)
    zenith_add[c] = (top[c] - horizon[c]) / exp(-falloff[c])

  return [
    horizon,
    zenith_add,
    falloff,
    pick("sun_light"),
    pick("light_mix"),
    pick("glow"),
    pick("glow_shape"),
    pick("fog_tint"),
    pick("fog"),
    pick("disc"),
  ]
}

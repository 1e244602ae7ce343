// Small helpers shared by the world scripts: numbers, packed colours, the
// palettes, distances on the wrapping 256 x 256 world, and names.
//
// Everything random draws from the world's own generator (frnd, irnd, rndf,
// srnd), never from anything else, so a world is the same every time it is
// built from the same seed.

// ---- numbers ----

function clamp(v, lo, hi) { return v < lo ? lo : (v > hi ? hi : v); }
function lerp(a, b, t) { return a + (b - a) * t; }
function saturate(v) { return v < 0.0 ? 0.0 : (v > 1.0 ? 1.0 : v); }
// 0 below e0, 1 above e1, a smooth step between.
function smoothstep(e0, e1, v)
{
  local t = saturate((v - e0) / (e1 - e0));
  return t * t * (3.0 - 2.0 * t);
}
function maxf(a, b) { return a > b ? a : b; }
function minf(a, b) { return a < b ? a : b; }

// A random integer in [0, n).
function rnd_int(n) { return n <= 0 ? 0 : irnd() % n; }
// A random element of an array.
function rnd_pick(arr) { return arr[rnd_int(arr.len())]; }
// The array shuffled in place (Fisher-Yates) and returned.
function rnd_shuffle(arr)
{
  for (local i = arr.len() - 1; i > 0; i--) {
    local j = rnd_int(i + 1);
    local t = arr[i];
    arr[i] = arr[j];
    arr[j] = t;
  }
  return arr;
}

// ---- the wrapping world ----

// The shortest offset between two coordinates on the 256-cell ring.
function wrap_delta(a, b) { return wrap(a - b); }
function torus_dist(x0, z0, x1, z1)
{
  local dx = wrap(x0 - x1), dz = wrap(z0 - z1);
  return sqrt(dx * dx + dz * dz);
}

// ---- packed colours (0xAARRGGBB) ----

function rgba(r, g, b, a = 255) { return ((a & 255) << 24) | ((r & 255) << 16) | ((g & 255) << 8) | (b & 255); }
function col_r(c) { return (c >> 16) & 255; }
function col_g(c) { return (c >> 8) & 255; }
function col_b(c) { return c & 255; }
function col_a(c) { return (c >> 24) & 255; }

// Per channel a + (b - a) * t, alpha included.
function mix_col(a, b, t)
{
  t = saturate(t);
  local r = col_r(a) + ((col_r(b) - col_r(a)) * t + 0.5).tointeger();
  local g = col_g(a) + ((col_g(b) - col_g(a)) * t + 0.5).tointeger();
  local bl = col_b(a) + ((col_b(b) - col_b(a)) * t + 0.5).tointeger();
  local al = col_a(a) + ((col_a(b) - col_a(a)) * t + 0.5).tointeger();
  return rgba(r, g, bl, al);
}

// mix_col(a, b, t) as a function of t alone, for mixing one pair of colours
// many times: the channels are taken apart once.
function col_mixer(a, b)
{
  local ar = col_r(a), ag = col_g(a), ab = col_b(a), aa = col_a(a);
  local dr = col_r(b) - ar, dg = col_g(b) - ag, db = col_b(b) - ab, da = col_a(b) - aa;
  return function(t) {
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);  // saturate(t)
    local r = ar + (dr * t + 0.5).tointeger();
    local g = ag + (dg * t + 0.5).tointeger();
    local bl = ab + (db * t + 0.5).tointeger();
    local al = aa + (da * t + 0.5).tointeger();
    return ((al & 255) << 24) | ((r & 255) << 16) | ((g & 255) << 8) | (bl & 255);  // rgba(r, g, bl, al)
  };
}

// Brightness scaled by f (1 keeps it), alpha kept.
function shade_col(c, f)
{
  return rgba(clamp((col_r(c) * f).tointeger(), 0, 255), clamp((col_g(c) * f).tointeger(), 0, 255),
              clamp((col_b(c) * f).tointeger(), 0, 255), col_a(c));
}

// A colour as the 32-bit signed value saved games hold (negative with the top bit set).
function color32(c)
{
  c = c & 0xFFFFFFFF;
  return c >= 0x80000000 ? c - 0x100000000 : c;
}

// The colour with another alpha.
function with_alpha(c, a) { return (c & 0xFFFFFF) | ((a & 255) << 24); }

// ---- palettes ----

// Colours of a world kind when "gen/palettes.csv" lacks the palette or a
// column (a refused file leaves the scripts with these).
default_palette <- {
  seabed = 0xFF3A4A48, shore = 0xFFC8B68A, low = 0xFF5E8A3A, mid = 0xFF4A7030, high = 0xFF7A7060,
  peak = 0xFFE8ECF0, cliff = 0xFF6A625A, accent = 0xFF9A5A30, grass = 0xFF6FA040, snow = 0xFFF4F8FF,
  icon = 0xFF60A0C0
};

// The named palette as a table of every column, missing ones from the
// defaults. Colours are compared and stored masked to 32 bits.
function get_palette(name)
{
  local src = null;
  if ("world_palettes" in getroottable() && name in ::world_palettes) src = ::world_palettes[name];
  local pal = {};
  foreach (k, v in default_palette) {
    local c = v;
    if (src != null && k in src && typeof src[k] == "integer") c = src[k];
    pal[k] <- c & 0xFFFFFFFF;
  }
  pal.name <- name;
  return pal;
}

// ---- names ----

name_starts <- ["Ar", "Bel", "Cor", "Dun", "El", "Fal", "Gal", "Hal", "Ith", "Kar", "Lor", "Mir", "Nor", "Or",
                "Pel", "Quel", "Ros", "Sar", "Tal", "Ul", "Ves", "Wyn", "Yr", "Zan"];
name_middles <- ["a", "e", "i", "o", "u", "ae", "ia", "or", "an", "el", "ith", "um"];
name_ends <- ["dor", "mere", "holm", "fell", "wyn", "ra", "gard", "moor", "vale", "reach", "deep", "mar", "ness",
              "ford", "spire", "crag"];

function make_world_name()
{
  local n = rnd_pick(name_starts);
  if (frnd() < 0.6) n += rnd_pick(name_middles);
  return n + rnd_pick(name_ends);
}

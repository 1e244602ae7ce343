// Land shapes: the tools that raise and carve the heightmap, and one shaping
// recipe per kind of world. A recipe only shapes; build_world (world.nut)
// then sets the sea level, colours, erodes, fills the water and builds.
//
// Heights come out of a recipe in any range; remap_heights puts the sea at 0,
// the highest land at the kind's `top` and the deepest sea at -`depth`.
// Everything here wraps round the 256-cell world.

const TWO_PI = 6.2831853;

// ---- tools ----

// A mask filled by fn(x, z) for every cell.
function mask_from(fn) { return HmapMask(fn); }

// A round bump on the torus: height * (1 - (d / radius)^2)^power inside the radius.
function radial_mask(cx, cz, radius, height, power)
{
  local r2 = radius * radius;
  local bump = function(x, z) {
    local dx = wrap(x - cx), dz = wrap(z - cz);
    local q = (dx * dx + dz * dz) / r2;
    return q >= 1.0 ? 0.0 : height * pow(1.0 - q, power);
  };
  // Centred on a cell and narrower than the world, the bump lies within the
  // square round it, where each cell is met once at its own offset: only that
  // square is visited (the rest stays 0).
  if (typeof cx == "integer" && typeof cz == "integer" && radius < 127.0) {
    local m = HmapMask(0.0);
    m.processRect(cx - radius, cz - radius, cx + radius, cz + radius, @(x, z, old) bump(x, z));
    return m;
  }
  return HmapMask(bump);
}

// A cone with a crater bowl on top: rises to `height` at rim radius `rim`,
// falls inside to height - bowl at the centre. Only the square round the cone
// is visited.
function volcano_mask(cx, cz, radius, height, rim, bowl)
{
  // The mask's value at squared distance d2 from the centre, or null outside
  // the cone (the cell keeps its value).
  local cone = function(d2) {
    local d = sqrt(d2);
    if (d >= radius) return null;
    if (d < rim) {
      local t = d / rim;
      return height - bowl * (1.0 - t * t);
    }
    local t = (d - rim) / (radius - rim);
    return height * pow(1.0 - t, 1.6);
  };
  local m = HmapMask(0.0);
  // With the centre on a cell, the cells at the same distance from it (eight
  // round the circle, by symmetry) share one value: each squared distance is
  // worked out once, kept in an array by squared distance (`unknown` until
  // then) that reaches past the corners of the square visited.
  if (typeof cx == "integer" && typeof cz == "integer" && radius < 400.0) {
    local unknown = {}, reach = (radius < 0.0 ? 0 : radius.tointeger()) + 2;
    local known = array(2 * reach * reach + 1, unknown);
    m.processRect(cx - radius, cz - radius, cx + radius, cz + radius, function(x, z, old) {
      local dx = x - cx, dz = z - cz;
      local d2 = dx * dx + dz * dz;
      local v = known[d2];
      if (v == unknown) v = known[d2] = cone(d2);
      return v == null ? old : v;
    });
    return m;
  }
  m.processRect(cx - radius, cz - radius, cx + radius, cz + radius, function(x, z, old) {
    local dx = x - cx, dz = z - cz;
    local v = cone(dx * dx + dz * dz);
    return v == null ? old : v;
  });
  return m;
}

// Heights of a sample of cells (every second cell of every second row), in
// grid order.
function sample_heights()
{
  local hm = HmapMask.fromHeight();
  local height = hm.getraw.bindenv(hm);  // holds hm weakly: the local keeps it
  local s = array(16384);
  local i = 0;
  for (local z = 0; z < 256; z += 2)
    for (local x = 0; x < 256; x += 2) s[i++] = height(x, z);
  return s;
}

// The sample at place i of the samples sorted (they are left as they are).
function sorted_sample(samples, i)
{
  local s = clone samples;
  s.sort();
  return s[i];
}

// The height below which fraction q of the samples lies: the one that sorting
// them would put at place q * (n - 1). Sorting all of them is slow in script,
// so a sorted subsample brackets that place, one pass counts the samples below
// the bracket and gathers those inside it, and only those are sorted. When
// the bracket misses the place, or the answer is a zero (a sort orders -0 and
// +0 as it happens to meet them) or a sample is not a number, all are sorted.
function height_quantile(samples, q)
{
  local n = samples.len();
  local i = clamp((q * (n - 1)).tointeger(), 0, n - 1);
  if (n < 1024) return sorted_sample(samples, i);
  local sub = [];
  for (local j = 0; j < n; j += 31) sub.append(samples[j]);
  sub.sort();
  local m = sub.len(), at = i * m / n;
  local lo = sub[clamp(at - 40, 0, m - 1)], hi = sub[clamp(at + 40, 0, m - 1)];
  local below = 0, inside = [];
  foreach (h in samples) {
    if (h < lo) below++;
    else if (!(hi < h)) {
      if (!(h <= hi)) return sorted_sample(samples, i);
      inside.append(h);
    }
  }
  if (i < below || i >= below + inside.len()) return sorted_sample(samples, i);
  inside.sort();
  local v = inside[i - below];
  return v < 0.0 || 0.0 < v ? v : sorted_sample(samples, i);
}

// Puts height `sea` at 0, the highest land at top and the lowest at -depth,
// scaling land and sea bed apart.
function remap_heights(sea, top, depth)
{
  local mm = HmapMask.fromHeight().calcMinMax();
  local lo = mm[0], hi = mm[1];
  local up = hi > sea ? top / (hi - sea) : 1.0;
  local down = sea > lo ? depth / (sea - lo) : 1.0;
  apply_height_mask(null, @(h) h > sea ? (h - sea) * up : (h - sea) * down);
}

// Ridges: where the noise crosses 0 the land rises to `height`.
function add_ridges(height, frequency, octaves, sharpness)
{
  local n = HmapMask.fromSimplexNoise(1.0, frequency, octaves, null, 0.5);
  apply_height_mask(n, function(h, v) {
    // 1 - |v|: 1 + v below 0 (the same subtraction), 1 - v at -0 as at +0.
    local r = v < 0.0 ? 1.0 + v : 1.0 - v;
    if (r < 0.0) r = 0.0;
    return h + height * pow(r, sharpness);
  });
}

// Wind-made dunes: crests across the integer wave vector (kx, kz), so they
// repeat exactly round the world, bent by noise.
function add_dunes(height, kx, kz, bend)
{
  local warp = HmapMask.fromSimplexNoise(bend, 4.0, 2, null, 0.5);
  local fx = TWO_PI * kx / 256.0, fz = TWO_PI * kz / 256.0;
  // The dunes are worked out in the warp mask, which hands each cell its
  // value, and added from there.
  warp.processAll(function(x, z, bent) {
    local s = sin(x * fx + z * fz + bent);
    // Gentle windward slope, steep lee.
    return (s > 0.0 ? s * s : s * 0.3) * height;
  });
  apply_height_mask(warp, null);
}

// Canyons: the land stands at the plateau except along the noise's zero
// lines, where it drops by `depth` over a width set by `width`.
function cut_canyons(depth, frequency, width)
{
  local n = HmapMask.fromSimplexNoise(1.0, frequency, 3, null, 0.45);
  apply_height_mask(n, function(h, v) {
    // |v| as v < 0 ? -v : v: at -0 a is -0, and only a * a is used.
    local a = (v < 0.0 ? -v : v) / width;
    if (a >= 1.0) return h;
    local b = 1.0 - a * a;
    return h - depth * b * b;
  });
}

// Ridged noise of several octaves: sharp crests where the noise crosses 0,
// each octave twice as fine and half as high as the one before.
function add_ridged(height, frequency, octaves, sharpness)
{
  local f = frequency, a = height;
  for (local i = 0; i < octaves; i++) {
    add_ridges(a, f, 1, sharpness);
    f *= 2.0;
    a *= 0.5;
  }
}

// Steps in the land: each band of `step` height flattens into a shelf with a
// steep rise to the next.
function add_terraces(step, steepness)
{
  // smoothstep(e0, e1, f) written out, its edges and their distance worked
  // out once.
  local e0 = 0.5 - steepness, e1 = 0.5 + steepness, span = e1 - e0;
  apply_height_mask(null, function(h) {
    local s = h / step;
    local band = floor(s);
    local t = (s - band - e0) / span;
    t = t < 0.0 ? 0.0 : (t > 1.0 ? 1.0 : t);
    return (band + t * t * (3.0 - 2.0 * t)) * step;
  });
}

// ---- recipes ----
// Each recipe(w) shapes the land of world entry w, drawing from the world's
// generator only.

function shape_islands(w)
{
  add_simplex_noise(0.0, 14.0, 4, 5, 0.55);
  add_voronoi_hills(8, 0.0, 7.0, 0.6);
  add_simplex_noise(0.0, 2.0, 16, 2, 0.5);
}

function shape_mountains(w)
{
  // Massifs from broad noise; ridges rise with the massif under them, so the
  // peaks gather into ranges and the valleys between stay open.
  add_simplex_noise(0.0, 20.0, 2, 4, 0.5);
  local n1 = HmapMask.fromSimplexNoise(1.0, 4.0, 1, null, 0.5);
  local n2 = HmapMask.fromSimplexNoise(1.0, 8.0, 1, null, 0.5);
  local n3 = HmapMask.fromSimplexNoise(1.0, 16.0, 1, null, 0.5);
  // The ridges r = a * a + 0.5 * b * b + 0.25 * c * c, a = 1 - |n1| and so on,
  // are summed term by term in the heights (each partial sum is a float, as
  // in the script) while a copy keeps the massifs: each pass is handed its
  // cells' values instead of asking for them. 1 - |v| is 1 + v below 0 (the
  // same subtraction), and 1 - v at -0 as at +0.
  local massifs = HmapMask.fromHeight();
  apply_height_mask(n1, function(h, v) {
    local a = v < 0.0 ? 1.0 + v : 1.0 - v;
    return a * a;
  });
  apply_height_mask(n2, function(s, v) {
    local b = v < 0.0 ? 1.0 + v : 1.0 - v;
    return s + 0.5 * b * b;
  });
  apply_height_mask(n3, function(s, v) {
    local c = v < 0.0 ? 1.0 + v : 1.0 - v;
    return s + 0.25 * c * c;
  });
  apply_height_mask(massifs, @(r, h) h + r * h * 1.3);
  add_simplex_noise(0.0, 2.0, 16, 2, 0.5);
}

function shape_volcanic(w)
{
  add_simplex_noise(0.0, 8.0, 4, 4, 0.5);
  local vents = [];
  local main = [w.vent.x, w.vent.z];
  vents.append({x = main[0], z = main[1], r = 10.0});
  apply_height_mask(volcano_mask(main[0], main[1], 78.0, 30.0, 11.0, 9.0), null);
  local n = 2 + rnd_int(2);
  for (local i = 0; i < n; i++) {
    local a = frnd() * TWO_PI, d = rndf(70.0, 110.0);
    local x = main[0] + cos(a) * d, z = main[1] + sin(a) * d;
    local r = rndf(26.0, 40.0);
    apply_height_mask(volcano_mask(x, z, r, rndf(10.0, 16.0), r * 0.22, 4.0), null);
    vents.append({x = x, z = z, r = r * 0.2});
  }
  for (local i = 0; i < 6; i++) gen_crater(frnd() * 256.0, frnd() * 256.0, rndf(5.0, 11.0), 0.35);
  w.vents <- vents;
}

function shape_lakes(w)
{
  add_simplex_noise(0.0, 12.0, 8, 3, 0.45);
  add_simplex_noise(0.0, 8.0, 4, 2, 0.5);
  add_voronoi_hills(8, 0.0, 6.0, 0.9);
}

function shape_desert(w)
{
  gen_voronoi_faults(4, 0.0, 16.0, 0.5, 2, 3, 1.5);
  // Mesas stand only where the plateaus are high; the rest is a sea of dunes.
  apply_height_mask(null, @(h) h > 9.0 ? (h - 9.0) * 1.6 : 0.0);
  local k = rnd_pick([[13, 4], [4, 13], [12, -6], [-6, 12], [14, 3]]);
  add_dunes(1.6, k[0], k[1], 2.0);
  add_dunes(0.6, k[0] * 2 + k[1], k[1] * 2 - k[0], 1.2);
  add_simplex_noise(0.0, 3.0, 4, 3, 0.5);
  // One oasis basin.
  apply_height_mask(radial_mask(w.oasis.x, w.oasis.z, 16.0, -7.0, 1.5), null);
}

function shape_highlands(w)
{
  gen_voronoi_faults(4, 0.0, 18.0, 0.6, 2, 3, 1.0);
  add_simplex_noise(0.0, 6.0, 4, 3, 0.5);
  add_simplex_noise(0.0, 1.5, 16, 2, 0.5);
}

function shape_glacier(w)
{
  add_simplex_noise(0.0, 18.0, 2, 4, 0.5);
  add_voronoi_hills(4, 0.0, 10.0, 1.0);
  // Ice sheets: the tops are worn flat.
  local mm = HmapMask.fromHeight().calcMinMax();
  local cap = mm[0] + (mm[1] - mm[0]) * 0.7;
  apply_height_mask(null, @(h) h > cap ? cap + (h - cap) * 0.25 : h);
  add_ridged(3.0, 6.0, 2, 4.0);
}

function shape_canyons(w)
{
  add_simplex_noise(0.0, 6.0, 4, 3, 0.5);
  apply_height_mask(HmapMask(16.0), null);
  cut_canyons(15.0, 3.0, 0.14);
  cut_canyons(6.0, 6.0, 0.05);
  add_terraces(3.0, 0.12);
  add_simplex_noise(0.0, 1.0, 16, 2, 0.5);
}

// The main menu's backdrop: a great volcano rising from the sea, ringed by
// islands, with a crater lake of lava.
function shape_showcase(w)
{
  add_simplex_noise(0.0, 13.0, 4, 5, 0.55);
  apply_height_mask(volcano_mask(w.vent.x, w.vent.z, 100.0, 46.0, 13.0, 12.0), null);
  w.vents <- [{x = w.vent.x, z = w.vent.z, r = 12.0}];
}

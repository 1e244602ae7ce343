// Building one world from its entry: the kinds of world, and the steps every
// world goes through after its recipe has shaped the land: sea level, pads
// for the castle and the portals, colours, erosion, water and lava, buildings,
// the player's start and the sun.

// ---- kinds of world ----
// water: the fraction of the world below the sea; top / depth: the highest
// land and the deepest sea bed; erosion: droplets; grass / snow: where they
// grow (fractions of top); sun: elevation of the sun in turns.

world_kinds <- {
  islands = {shape = shape_islands, water = 0.64, top = 16.0, depth = 9.0, erosion = 9000,
             grass = [0.05, 0.6], snow = 2.0, sun = 0.14, houses = 7, title = "Archipelago"},
  mountains = {shape = shape_mountains, water = 0.07, top = 48.0, depth = 5.0, erosion = 15000,
               grass = [0.02, 0.34], snow = 0.62, sun = 0.11, houses = 4, title = "Mountains"},
  volcanic = {shape = shape_volcanic, water = 0.30, top = 34.0, depth = 8.0, erosion = 7000,
              grass = [0.04, 0.12], snow = 2.0, sun = 0.09, houses = 2, title = "Volcanic isles"},
  lakes = {shape = shape_lakes, water = 0.24, top = 13.0, depth = 4.0, erosion = 8000,
           grass = [0.0, 0.9], snow = 2.0, sun = 0.16, houses = 9, title = "Lake country"},
  desert = {shape = shape_desert, water = 0.015, top = 24.0, depth = 3.0, erosion = 3000,
            grass = [2.0, 2.0], snow = 2.0, sun = 0.19, houses = 5, title = "Dry lands"},
  highlands = {shape = shape_highlands, water = 0.12, top = 28.0, depth = 5.0, erosion = 10000,
               grass = [0.0, 0.7], snow = 0.9, sun = 0.13, houses = 8, title = "Highlands"},
  glacier = {shape = shape_glacier, water = 0.22, top = 30.0, depth = 6.0, erosion = 6000,
             grass = [0.02, 0.1], snow = 0.12, sun = 0.05, houses = 3, title = "Frozen wastes"},
  canyons = {shape = shape_canyons, water = 0.05, top = 26.0, depth = 3.0, erosion = 6000,
             grass = [0.0, 0.15], snow = 2.0, sun = 0.17, houses = 4, title = "Canyons"},
  showcase = {shape = shape_showcase, water = 0.5, top = 44.0, depth = 9.0, erosion = 9000,
              grass = [0.03, 0.45], snow = 0.8, sun = 0.08, houses = 6, title = "Fire and sea"},
};

// Kinds a universe draws its worlds from, gentle first.
universe_kinds <- ["lakes", "islands", "highlands", "desert", "mountains", "canyons", "glacier", "volcanic"];

function get_kind(name) { return name in world_kinds ? world_kinds[name] : world_kinds.lakes; }

// ---- colours ----

// A colour table over (height level, steepness level, shade level), so that
// painting a cell is a look-up. Entries are [colour, ground, top colour,
// surface], or [colour, ground] without top colour or surface: repaint_land
// paints that as [colour, ground, 0, ST_NONE], and reads it quicker.
const HL = 96;
const SL = 6;
const NL = 3;

// The table's entries for land at the middle height of each height level and
// the middle flatness of each steepness level, its colour shaded by each
// shade level. What depends on the
// height alone or the flatness alone is worked out once per level and
// combined per entry as one formula would: the same values in the same order.
function make_color_table(kind, pal)
{
  local t = array(HL * SL * NL);
  local lo = -kind.depth, span = kind.top + kind.depth;
  local shades = [0.92, 1.0, 1.07];
  local g = kind.grass, snow = kind.snow;
  local flats = array(SL), grass_by_flat = array(SL), snow_by_flat = array(SL), steeps = array(SL);
  for (local si = 0; si < SL; si++) {
    local flat = (si + 0.5) / SL;
    flats[si] = flat;
    grass_by_flat[si] = smoothstep(0.5, 0.9, flat);
    snow_by_flat[si] = smoothstep(0.35, 0.7, flat);
    // Steep ground is bare rock.
    steeps[si] = 1.0 - smoothstep(0.45, 0.85, flat);
  }
  for (local hi = 0; hi < HL; hi++) {
    local h = lo + span * (hi + 0.5) / HL;
    local c, ground = GT_SOIL, grass = false, snowy = false, grass_lo = 0.0, grass_hi = 0.0, snow_t = 0.0;
    if (h < -0.4) {
      c = mix_col(pal.shore, pal.seabed, smoothstep(0.0, kind.depth * 0.6, -h));
      ground = GT_SAND;
    } else if (h < 0.9) {
      c = pal.shore;
      ground = GT_SAND;
    } else {
      local ht = h / kind.top;
      c = mix_col(pal.shore, pal.low, smoothstep(0.9, 2.2, h));
      c = mix_col(c, pal.mid, smoothstep(0.2, 0.45, ht));
      c = mix_col(c, pal.high, smoothstep(0.5, 0.72, ht));
      c = mix_col(c, pal.peak, smoothstep(0.8, 0.98, ht));
      if (ht > 0.55) ground = GT_ROCK;
      if (ht > g[0] && ht < g[1]) {
        grass = true;
        grass_lo = smoothstep(g[0], g[0] + 0.05, ht);
        grass_hi = 1.0 - smoothstep(g[1] - 0.08, g[1], ht);
      }
      if (ht > snow) {
        snowy = true;
        snow_t = smoothstep(snow, snow + 0.1, ht);
      }
    }
    local cliff = h > -0.4 ? col_mixer(c, pal.cliff) : null;
    for (local si = 0; si < SL; si++) {
      local flat = flats[si], e_c = c, e_ground = ground, topc = 0, surf = ST_NONE;
      if (grass && flat > 0.5) {
        surf = ST_GRASS;
        local a = grass_by_flat[si] * grass_lo * grass_hi;
        topc = with_alpha(pal.grass, (a * 170).tointeger());
      }
      if (snowy && flat > 0.35) {
        surf = ST_SNOW;
        local a = snow_t * snow_by_flat[si];
        topc = with_alpha(pal.snow, (a * 255).tointeger());
      }
      local steep = steeps[si];
      if (steep > 0.0 && cliff != null) {
        e_c = cliff(steep);
        if (steep > 0.5) {
          e_ground = GT_ROCK;
          surf = ST_NONE;
          topc = 0;
        }
      }
      // shade_col(e_c, shades[ni]) for each shade.
      local r = (e_c >> 16) & 255, gr = (e_c >> 8) & 255, b = e_c & 255, al = (e_c >> 24) & 255;
      local at = (hi * SL + si) * NL, plain = topc == 0 && surf == ST_NONE;
      for (local ni = 0; ni < NL; ni++) {
        local f = shades[ni];
        local sr = (r * f).tointeger(), sg = (gr * f).tointeger(), sb = (b * f).tointeger();
        sr = sr < 0 ? 0 : (sr > 255 ? 255 : sr);
        sg = sg < 0 ? 0 : (sg > 255 ? 255 : sg);
        sb = sb < 0 ? 0 : (sb > 255 ? 255 : sb);
        local colour = ((al & 255) << 24) | ((sr & 255) << 16) | ((sg & 255) << 8) | (sb & 255);
        t[at + ni] = plain ? [colour, e_ground] : [colour, e_ground, topc, surf];
      }
    }
  }
  return t;
}

// The colour table's entry at the given height, steepness and shade levels,
// each a number whose whole part (as tointeger() takes it) is the level,
// clamped to the table.
function color_entry(table, hv, sv, nv)
{
  local hi = hv.tointeger();
  hi = hi < 0 ? 0 : (hi >= HL ? HL - 1 : hi);
  local si = sv.tointeger();
  si = si >= SL ? SL - 1 : si;
  local ni = nv.tointeger();
  ni = ni < 0 ? 0 : (ni >= NL ? NL - 1 : ni);
  return table[(hi * SL + si) * NL + ni];
}

// The colour table as nested arrays, levels[hv][sv][nv] = color_entry(table,
// hv, sv, nv) for the numbers that fall inside them: an array indexed by a
// number takes its whole part as tointeger() does, and a few entries past
// the top of each level repeat the last one, as the clamping does.
function color_levels(table)
{
  local levels = array(HL + 16);
  foreach (hi, _ in levels) {
    local by_steepness = array(SL + 1);
    local row = (hi < HL ? hi : HL - 1) * SL;
    foreach (si, _ in by_steepness) {
      local at = (row + (si < SL ? si : SL - 1)) * NL;
      local by_shade = array(NL + 2);
      foreach (ni, _ in by_shade) by_shade[ni] = table[at + (ni < NL ? ni : NL - 1)];
      by_steepness[si] = by_shade;
    }
    levels[hi] = by_steepness;
  }
  return levels;
}

// Paints every cell from its height, steepness and a little noise; `special`
// (x, z, h) may answer its own entry for a cell (ash round vents). It is asked
// only at the cells that `near` marks (by row z: null for none, else 256
// booleans by x): it answers null everywhere else.
function paint_world(kind, pal, special, near)
{
  local table = make_color_table(kind, pal);
  local levels = color_levels(table);
  local hm = HmapMask.fromHeight(), sm = HmapMask.fromSlope();
  local nm = HmapMask.fromSimplexNoise(1.0, 16.0, 2, null, 0.5);
  local lo = -kind.depth, k = HL / (kind.top + kind.depth);
  // Each mask's getraw bound to it once: a call then skips the method look-up.
  // A bound method holds its mask weakly; the locals above keep the masks.
  local height = hm.getraw.bindenv(hm), slope = sm.getraw.bindenv(sm), noise = nm.getraw.bindenv(nm);
  // Every level below 0 is level 0. The look-up is the quick way; a number
  // past the end of the nested arrays fails it and takes the slow one.
  if (special == null) {
    repaint_land(function(x, z) {
      local h = height(x, z), n = noise(x, z);
      local hv = (h - lo) * k + n * 3.0, sv = slope(x, z) * SL, nv = n * 1.6 + 1.5;
      if (hv < 0.0) hv = 0.0;
      try {
        return levels[hv][sv][nv];
      } catch (e) {
        return color_entry(table, hv, sv, nv);
      }
    });
    return;
  }
  repaint_land(function(x, z) {
    local h = height(x, z), n = noise(x, z);
    local row = near[z];
    if (row != null && row[x]) {
      local e = special(x, z, h);
      if (e != null) return e;
    }
    local hv = (h - lo) * k + n * 3.0, sv = slope(x, z) * SL, nv = n * 1.6 + 1.5;
    if (hv < 0.0) hv = 0.0;
    try {
      return levels[hv][sv][nv];
    } catch (e) {
      return color_entry(table, hv, sv, nv);
    }
  });
}

// ---- water and lava ----

function fill_sea()
{
  local hm = HmapMask.fromHeight();
  apply_water_mask(hm, @(w, h) h < 0.0 ? -h : 0.0);
}

// Lava pools in the vents' bowls: lava is fluid of negative amount, poured
// over the water that fill_sea has left. Each vent's lava goes into one mask
// (a later vent's over an earlier one's where they meet), poured at once.
function fill_lava(vents)
{
  local hm = HmapMask.fromHeight();
  local lava = HmapMask(0.0);
  foreach (v in vents) {
    local level = mean_height(hm, v.x, v.z, v.r * 0.5) + 1.2;
    local r = v.r;
    lava.processRect(v.x - r, v.z - r, v.x + r, v.z + r, function(x, z, old) {
      local dx = x - v.x, dz = z - v.z;
      if (dx * dx + dz * dz > r * r) return old;
      local h = hm.getraw(x, z);
      if (h < level) {
        local l = -(level - h);
        if (l < 0.0) return l;
      }
      return old;
    });
  }
  // The lava takes the place of the water under it: the water (as fill_sea
  // leaves it, never -0) plus 0 stays as it is, and plus (lava - water) is
  // the lava wherever that sum gives the lava's bits back. So the differences
  // are worked out over the vents' squares alone and added in one native
  // pass; should a sum miss, every cell is visited instead.
  local water = HmapMask.fromWater(), rise = HmapMask(0.0), exact = true;
  foreach (v in vents) {
    local r = v.r;
    rise.processRect(v.x - r, v.z - r, v.x + r, v.z + r, function(x, z, old) {
      local l = lava.getraw(x, z);
      if (!(l < 0.0)) return old;
      local w = water.getraw(x, z), d = l - w;
      if (w + d != l) exact = false;
      return d;
    });
  }
  if (exact) apply_water_mask(rise, null);
  else apply_water_mask(lava, @(w, l) l < 0.0 ? l : w);
}

// ---- buildings and places ----

// The mean height of the cells within r of (x, z).
function mean_height(hm, x, z, r)
{
  local sum = 0.0, n = 0;
  local x0 = (x - r).tointeger(), x1 = (x + r).tointeger(), z0 = (z - r).tointeger(), z1 = (z + r).tointeger();
  for (local cz = z0; cz <= z1; cz++)
    for (local cx = x0; cx <= x1; cx++) {
      local dx = cx - x, dz = cz - z;
      if (dx * dx + dz * dz > r * r) continue;
      sum += hm.getraw(cx, cz);
      n++;
    }
  return n > 0 ? sum / n : hm.get(x, z);
}

// Levels a round pad at the place so a building stands on dry, even ground.
function level_pad(x, z, r, min_height)
{
  local h = mean_height(HmapMask.fromHeight(), x, z, r);
  flatten_circle(x, z, r * 1.6, maxf(h, min_height), 1.0, 3.0);
}

// Houses on dry, gentle ground round the castle; each test and placement
// draws from the world's generator, so they land in the same places every time.
function place_village(w, kind)
{
  local hm = HmapMask.fromHeight(), sm = HmapMask.fromSlope();
  local placed = 0, tries = 0;
  while (placed < kind.houses && tries < kind.houses * 12) {
    tries++;
    local a = frnd() * TWO_PI, d = rndf(24.0, 70.0);
    local x = (w.castle.x + cos(a) * d).tointeger() & 255, z = (w.castle.z + sin(a) * d).tointeger() & 255;
    local h = hm.getraw(x, z);
    if (h < 1.0 || h > kind.top * 0.7 || sm.getraw(x, z) < 0.82) continue;
    if (!test_circle_mark(x, z, 8.0, MARK_PLACEMENT | MARK_WATER, 0)) continue;
    place_house(x, z, irnd() % 3);
    placed++;
  }
  // A watch tower now and then.
  if (frnd() < 0.6) {
    local a = frnd() * TWO_PI;
    local x = (w.castle.x + cos(a) * 34.0).tointeger() & 255, z = (w.castle.z + sin(a) * 34.0).tointeger() & 255;
    if (hm.getraw(x, z) > 1.0 && test_circle_mark(x, z, 5.0, MARK_PLACEMENT | MARK_WATER, 0)) {
      place_house(x, z, -2);
      mark_circle(x, z, 4.0, MARK_PLACE, MARK_PLACE);
    }
  }
}

// ---- the whole world ----

function build_world(w)
{
  local kind = get_kind(w.kind);
  local pal = get_palette(w.palette);
  show_splash("Shaping " + w.name, 0.1);
  kind.shape(w);

  remap_heights(height_quantile(sample_heights(), kind.water), kind.top, kind.depth);

  // Pads first, so they are painted and eroded with the land round them.
  level_pad(w.castle.x, w.castle.z, 13.0, 2.0);
  foreach (p in w.portals) level_pad(p.x, p.z, 5.0, 1.5);

  show_splash("Painting " + w.name, 0.3);
  local special = null, near = null;
  if ("vents" in w) {
    // Ash round the vents, darkest at the rim.
    local heat = HmapMask(0.0), ash_on_cliff = col_mixer(pal.cliff, pal.accent);
    near = array(256, null);
    foreach (v in w.vents) {
      local r = v.r * 2.6;
      heat.processRect(v.x - r, v.z - r, v.x + r, v.z + r, function(x, z, old) {
        local dx = x - v.x, dz = z - v.z;
        local t = 1.0 - sqrt(dx * dx + dz * dz) / r;
        return t > old ? t : old;
      });
      // The ash lies within the square just painted (a cell more each way).
      // Its rows share one array of its columns; a row that another square
      // has marked already gets a copy with both.
      local cols = array(256, false);
      for (local j = (v.x - r).tointeger() - 1; j <= (v.x + r).tointeger() + 1; j++) cols[j & 255] = true;
      for (local i = (v.z - r).tointeger() - 1; i <= (v.z + r).tointeger() + 1; i++) {
        local row = near[i & 255];
        if (row == null) near[i & 255] = cols;
        else if (row != cols) {
          row = clone row;
          foreach (j, c in cols) if (c) row[j] = true;
          near[i & 255] = row;
        }
      }
    }
    special = function(x, z, h) {
      local t = heat.getraw(x, z);
      if (t <= 0.0) return null;
      // with_alpha(0xFF0A0A0A, (t * 160).tointeger())
      return [ash_on_cliff(t * (2.0 - t)), GT_ROCK, 0x0A0A0A | (((t * 160).tointeger() & 255) << 24), ST_ASH];
    };
  }
  paint_world(kind, pal, special, near);

  if (kind.erosion > 0) gen_droplet_erosion(kind.erosion, {Kq = 8.0, Kr = 0.6, Kd = 0.06, depositBlend = 1.5});
  // Sediment fills the lowest ground: the sea is set again so that it covers
  // the kind's share of the world.
  if (kind.water > 0.0) {
    local sea = height_quantile(sample_heights(), kind.water);
    // Every height less `sea`, added as a constant mask of -sea (the same sum).
    apply_height_mask(HmapMask(-sea), null);
  }

  // Erosion may have nibbled at the pads.
  level_pad(w.castle.x, w.castle.z, 11.0, 2.0);
  foreach (p in w.portals) level_pad(p.x, p.z, 4.0, 1.5);

  fill_sea();
  if ("vents" in w) fill_lava(w.vents);
  mark_water(0.01, MARK_WATER, MARK_WATER);
  if ("vents" in w) foreach (v in w.vents) mark_circle(v.x, v.z, v.r * 1.6, MARK_WATER, MARK_WATER);
  foreach (p in w.portals) mark_circle(p.x, p.z, 5.0, MARK_PLACE, MARK_PLACE);

  place_house(w.castle.x, w.castle.z, -1);
  mark_circle(w.castle.x, w.castle.z, 15.0, MARK_PLACE, MARK_PLACE);
  place_village(w, kind);

  // The game objects (the castle, the portals, trees, creatures) are the
  // plug-in's: it makes them here from the entry, through place_world_objects
  // when it binds one, else through its castle and portal natives.
  local root = getroottable();
  if ("place_world_objects" in root) {
    place_world_objects(w);
  } else {
    if ("place_castle" in root) place_castle(w.castle.x, w.castle.z);
    if ("place_portal" in root)
      foreach (p in w.portals) place_portal(p.x, p.z, p.target);
  }

  // The player starts at the castle gate, facing the first portal.
  local gate_x = w.castle.x + 0.5, gate_z = w.castle.z + 14.5;
  set_player_pos(make4f(gate_x, HmapMask.fromHeight().get(gate_x, gate_z) + 2.0, gate_z, 1.0));
  local e = kind.sun * TWO_PI, a = w.sun_heading * TWO_PI;
  set_sun_dir(make4f(cos(a) * cos(e), sin(e), sin(a) * cos(e), 0.0));
}

// The universe: a handful of worlds of different kinds scattered on a map,
// joined by portals. Every world entry is plain values only (it is saved with
// the game): its name, kind, palette, seed, map position and icon colours, the
// cell of its one castle, and its portals, each with the cell it stands on and
// the index of the world it leads to. A world's land is built from its entry
// alone when it is first entered (world.nut), so the castle and the portals
// stand where the entry says.

const WORLD_COUNT = 8;

// A cell at least `min_dist` from every placed point (fewer tries relax it).
function pick_spot(placed, min_dist)
{
  local best = null, best_d = -1.0;
  for (local i = 0; i < 60; i++) {
    local x = rnd_int(256), z = rnd_int(256);
    local d = 1000.0;
    foreach (p in placed) d = minf(d, torus_dist(x, z, p.x, p.z));
    if (d >= min_dist) return {x = x, z = z};
    if (d > best_d) {
      best_d = d;
      best = {x = x, z = z};
    }
  }
  return best;
}

// One world entry of the given kind; draws from the generator in a fixed order.
function new_world_entry(kind_name, links)
{
  local kind = get_kind(kind_name);
  local w = {
    name = make_world_name(),
    kind = kind_name,
    palette = kind_name,
    seed = irnd(),
    sun_heading = frnd(),
    castle = null,
    portals = [],
    visited = false,
    level = 0
  };
  local placed = [];
  w.castle = pick_spot(placed, 0.0);
  placed.append(w.castle);
  foreach (i, target in links) {
    // The first portal stands a short flight straight ahead of the castle
    // gate, where a new player starts; the others anywhere well apart.
    local p = i == 0 ? {x = w.castle.x, z = (w.castle.z + 24) & 255} : pick_spot(placed, 52.0);
    placed.append(p);
    w.portals.append({x = p.x, z = p.z, target = target});
  }
  // Features the land is built round, kept clear of the places.
  if (kind_name == "volcanic" || kind_name == "showcase") w.vent <- pick_spot(placed, 70.0);
  if (kind_name == "desert") w.oasis <- pick_spot(placed, 40.0);
  return w;
}

// Links of a map: a tree of shortest edges joining every world, plus a few
// short cross links so that there is more than one way round.
function link_worlds(pos)
{
  local n = pos.len();
  local links = array(n);
  for (local i = 0; i < n; i++) links[i] = [];
  local dist = function(a, b) {
    local dx = pos[a][0] - pos[b][0], dy = pos[a][1] - pos[b][1];
    return sqrt(dx * dx + dy * dy);
  };
  local joined = [0];
  local free = [];
  for (local i = 1; i < n; i++) free.append(i);
  while (free.len() > 0) {
    local bi = -1, bj = -1, bd = 1e30;
    foreach (a in joined)
      foreach (k, b in free) {
        local d = dist(a, b);
        if (d < bd) {
          bd = d;
          bi = a;
          bj = k;
        }
      }
    local b = free[bj];
    free.remove(bj);
    joined.append(b);
    links[bi].append(b);
    links[b].append(bi);
  }
  for (local a = 0; a < n; a++) {
    if (links[a].len() >= 3 || frnd() < 0.5) continue;
    local best = -1, bd = 1e30;
    for (local b = 0; b < n; b++) {
      if (b == a || links[b].len() >= 3 || links[a].find(b) != null) continue;
      local d = dist(a, b);
      if (d < bd) {
        bd = d;
        best = b;
      }
    }
    if (best >= 0) {
      links[a].append(best);
      links[best].append(a);
    }
  }
  return links;
}

function generate_universe()
{
  local seed = irnd();
  set_rnd_seed(seed);

  // The home world is a gentle one; the rest come in random order.
  local kinds = clone universe_kinds;
  local home = kinds[rnd_int(2)];
  kinds.remove(kinds.find(home));
  rnd_shuffle(kinds);
  kinds.insert(0, home);

  // A loose spiral of worlds on the map.
  local pos = [];
  for (local i = 0; i < WORLD_COUNT; i++) {
    local a = i * 2.39996 + srnd() * 0.3, r = 110.0 * sqrt(i + 0.35) + srnd() * 20.0;
    pos.append([cos(a) * r, sin(a) * r]);
  }
  local links = link_worlds(pos);

  local worlds = [];
  for (local i = 0; i < WORLD_COUNT; i++) {
    local w = new_world_entry(kinds[i], links[i]);
    local pal = get_palette(w.palette);
    w.pos <- pos[i];
    w.size <- 22.0 + (get_kind(w.kind).top / 48.0) * 10.0;
    w.colors <- [color32(pal.icon), color32(pal.low), color32(pal.accent)];
    w.title <- get_kind(w.kind).title;
    worlds.append(w);
  }

  // Danger grows with the number of portals from home.
  local queue = [0];
  local seen = [true];
  for (local i = 1; i < WORLD_COUNT; i++) seen.append(false);
  while (queue.len() > 0) {
    local a = queue[0];
    queue.remove(0);
    foreach (b in links[a])
      if (!seen[b]) {
        seen[b] = true;
        worlds[b].level = worlds[a].level + 1;
        queue.append(b);
      }
  }

  return {worlds = worlds, enteredWorld = -1, seed = seed, version = 1};
}

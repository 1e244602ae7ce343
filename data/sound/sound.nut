// The game's sounds: which sound files are loaded, how loud and how far
// they carry, what each sound event plays and which music follows which.
// The game raises the events; each function here gives the channel to play
// (the game starts it) or 0. Paths are relative to the program's folder.
// Edit freely: the game reloads this file while it runs.

// A sample from sfx/, with its volume; 3D ones are heard from min_dist at
// full volume and fade out until max_dist.
function sample(name, max_playbacks, flags, volume, min_dist = 6.0, max_dist = 256.0)
{
  local s = load_sample("sfx/" + name + ".wav", max_playbacks, flags);
  set_sample_volume(s, volume);
  if (flags & SNDF_3D)
    set_sample_dist(s, min_dist, max_dist);
  return s;
}

// ---- sounds heard everywhere ----
local click        = sample("click", 4, 0, 0.5);
local click_select = sample("click_select", 4, 0, 0.6);
local warp         = sample("warp", 2, 0, 0.8);
local arrive       = sample("arrive", 2, 0, 0.8);
local chime        = sample("chime", 3, 0, 0.5);
local impact_self  = sample("impact", 3, 0, 0.7);
local whoosh       = sample("whoosh", 4, 0, 0.6);
local whoosh_low   = sample("whoosh_low", 3, 0, 0.7);
local sparkle      = sample("sparkle", 3, 0, 0.5);
local zap          = sample("zap", 3, 0, 0.6);
local thunder      = sample("thunder", 2, 0, 0.8);

// ---- sounds in the world ----
local S3 = SNDF_3D, LOOP3 = SNDF_3D | SNDF_LOOP;
local rumble       = sample("rumble", 12, LOOP3, 1.0, 20.0);
local portal_hum   = sample("portal_hum", 4, LOOP3, 0.6, 4.0, 80.0);
local portal_chime = sample("portal_chime", 2, S3, 0.8, 8.0);
local spark3d      = sample("sparkle", 6, S3, 0.5, 4.0, 96.0);
local hum3d        = sample("mana_hum", 8, LOOP3, 0.4, 3.0, 64.0);
local zap3d        = sample("zap", 6, S3, 0.7, 6.0);
local fire         = sample("fire", 8, LOOP3, 0.6, 4.0, 96.0);
local lava         = sample("lava", 6, LOOP3, 0.8, 10.0);
local water        = sample("water", 6, LOOP3, 0.5, 4.0, 96.0);
local wind         = sample("wind", 6, LOOP3, 0.5, 8.0);
local impact       = sample("impact", 8, S3, 0.8, 8.0);
local impact_small = sample("impact_small", 8, S3, 0.7, 4.0, 128.0);
local impact_big   = sample("impact_big", 4, S3, 1.0, 24.0);
local sizzle       = sample("sizzle", 6, S3, 0.7, 6.0);
local thunder3d    = sample("thunder", 4, S3, 1.0, 30.0);
local whoosh3d     = sample("whoosh", 8, S3, 0.6, 4.0, 128.0);
local growl        = sample("growl", 4, S3, 0.8, 10.0);
local growl_high   = sample("growl_high", 4, S3, 0.7, 8.0);
local flap         = sample("flap", 4, S3, 0.5, 6.0, 128.0);
local chitter      = sample("chitter", 6, S3, 0.5, 4.0, 96.0);
local chirp        = sample("chirp", 6, S3, 0.4, 4.0, 96.0);

// One of two samples, chosen by chance.
function either(a, b) { return get_channel((game_rnd() & 1) ? a : b); }

events <- {
  use_portal         = @() get_channel(warp),
  enter_world        = @() get_channel(arrive),
  portal_appears     = @() get_channel(portal_chime),
  portal_loop        = @() get_channel(portal_hum),
  trigger_activated  = @() get_channel(chime),
  player_hit         = @() get_channel(impact_self),
  start_combat       = @() get_channel(whoosh_low),
  end_combat         = @() get_channel(chime),
  spell_appears      = @() get_channel(spark3d),
  spell_loop         = @() get_channel(hum3d),
  spell_discharge    = @() get_channel(zap3d),
  pick_up_spell      = @() get_channel(sparkle),
  generic_cast       = @() get_channel(whoosh),
  generic_missile    = @() get_channel(whoosh3d),
  fireball_cast      = @() get_channel(whoosh),
  fireball_missile   = @() get_channel(fire),
  fireball_hit       = @() get_channel(impact),
  fireball_hit_water = @() get_channel(sizzle),
  meteor_cast        = @() get_channel(whoosh_low),
  meteor_missile     = @() get_channel(fire),
  meteor_hit         = @() get_channel(impact_big),
  lightning_cast     = @() get_channel(zap),
  thstorm_cast       = @() get_channel(thunder),
  thstorm_missile    = @() get_channel(wind),
  thstorm_lightning  = @() get_channel(thunder3d),
  burn_loop          = @() get_channel(fire),
  tree_regrows       = @() get_channel(spark3d),
  land_moving        = @() get_channel(rumble),
  mana_idle          = @() get_channel(water),
  wyvern_spawn       = @() get_channel(growl),
  wyvern_idle        = @() get_channel(flap),
  wyvern_attack      = @() get_channel(growl),
  wyvern_hit         = @() get_channel(impact),
  caterpillar_spawn  = @() get_channel(growl_high),
  caterpillar_idle   = @() get_channel(chitter),
  caterpillar_attack = @() get_channel(growl_high),
  caterpillar_hit    = @() get_channel(impact_small),
  bird_idle          = @() get_channel(chirp),
  bird_hit           = @() either(impact_small, chirp),
  volcano_explosion  = @() get_channel(impact_big),
  volcano_eruption   = @() get_channel(lava),
  main_menu          = @() get_channel(click),
  universe_map       = @() get_channel(click_select),
};

// ---- music: the pieces follow one another in turn ----
music <- [
  load_chained_music("music/music_a.ogg"),
  load_chained_music("music/music_b.ogg"),
  load_chained_music("music/music_c.ogg"),
];

function play_music(index)
{
  local stream = music[index % music.len()];
  set_channel_volume(stream, 0.5);
  play_channel(stream, true);
}

function do_music_chaining(stream)
{
  foreach (i, s in music)
    if (s == stream)
      play_music(i + 1);
}

play_music(game_rnd() % music.len());

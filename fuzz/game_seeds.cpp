// Writes the seed inputs of the game shell's fuzz targets with the game's own
// writers: a saved game of the fuzz game (fuzzGame.h) gives the slot files,
// the world file and the plug-in's object section; the developer server's
// seeds are one request per command in its message format; the sound files
// are short tones in the formats libsndfile writes.
// game_seeds <out-dir> makes <out-dir>/<target>/*.
#include "fuzz/fuzzGame.h"

#include "gameshell/gameobjExports.h"
#include "gameshell/gameobjFuncs.h"
#include "gameshell/universe.h"

#include "engine/streams.h"
#include "engine/visualLog.h"
#include "world/heightmapData.h"

#include <sndfile.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

static std::string out_dir;

static void put(const std::string& target, const std::string& name, const std::string& bytes)
{
  fs::create_directories(out_dir + "/" + target);
  std::ofstream f(out_dir + "/" + target + "/" + name, std::ios::binary);
  f.write(bytes.data(), std::streamsize(bytes.size()));
}

static std::string read_bytes(const std::string& path)
{
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

static bool save_seeds()
{
  set_entered_world(0);
  if (!save_game()) {
    fprintf(stderr, "game_seeds: the game was not saved\n");
    return false;
  }
  std::string info = read_bytes(fuzz_slot_path("info")), uni = read_bytes(fuzz_slot_path("uni"));
  std::string world = read_bytes(fuzz_slot_path("w000"));
  uint32_t n = uint32_t(info.size());
  put("slot_files", "saved", std::string((const char*)&n, 4) + info + uni);
  // The world file's harness patches its own saved world (FuzzPatcher): the
  // world as it is, cut inside the objects, and a sun that is not a number.
  put("world_file", "whole", std::string(1, '\0'));
  uint32_t cut = uint32_t(world.size() - 6);
  put("world_file", "cut", std::string("\xFF") + std::string((const char*)&cut, 4));
  uint32_t sun = 4 + HeightmapData::WORLD_DATA_SIZE;
  put("world_file", "nan_sun", std::string(1, '\0') + std::string((const char*)&sun, 4) + std::string("\x04\x00\x00\xC0\x7F", 5));

  MemoryOutputBuffer objects;
  save_gameobjs(objects);
  put("plugin_objects", "castle_and_player", std::string((const char*)objects.bytes.data, size_t(objects.bytes.num)));
  remove_all_gameobj();
  delete_gameobj();
  MemoryOutputBuffer none;
  save_gameobjs(none);
  put("plugin_objects", "none", std::string((const char*)none.bytes.data, size_t(none.bytes.num)));
  return true;
}

// A request: short string command, then records of short string name, type
// byte and value.
struct Request
{
  std::string b;
  explicit Request(const std::string& cmd) { str(cmd); }
  Request& str(const std::string& s)
  {
    b += char(s.size());
    b += s;
    return *this;
  }
  Request& i(const std::string& name, int v)
  {
    str(name);
    b += 'i';
    b.append((const char*)&v, 4);
    return *this;
  }
  Request& d(const std::string& name, double v)
  {
    str(name);
    b += 'd';
    b.append((const char*)&v, 8);
    return *this;
  }
  Request& s(const std::string& name, const std::string& v)
  {
    str(name);
    b += 's';
    return str(v);
  }
};

static void dev_server_seeds()
{
  const Request requests[] = {
      Request("checkServer"),
      Request("setWorldPalColor").i("color", int(0xFF102030u)).s("name", "water"),
      Request("showWorldPal").i("seed", 5),
      Request("startShowWorldPal"),
      Request("setCamera").d("x", 10.5).d("y", 20).i("z", 30).d("ha", 90).d("va", -45),
      Request("setSunDir").d("x", 0.5).i("y", 1).d("z", 0),
      Request("forceDevMap").i("show", 1),
      Request("setWindowPos").i("left", 0).i("top", 0).i("width", 640).i("height", 360),
  };
  int k = 0;
  for (const Request& r : requests) put("dev_server", "r" + std::to_string(k++), r.b);
}

static void sound_seeds()
{
  struct Format
  {
    const char* name;
    int format, channels;
  };
  const Format formats[] = {
      {"mono.wav", SF_FORMAT_WAV | SF_FORMAT_PCM_16, 1},    {"stereo.wav", SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2},
      {"tone.flac", SF_FORMAT_FLAC | SF_FORMAT_PCM_16, 2},  {"tone.ogg", SF_FORMAT_OGG | SF_FORMAT_VORBIS, 1},
      {"tone.aiff", SF_FORMAT_AIFF | SF_FORMAT_PCM_24, 1},  {"tone.au", SF_FORMAT_AU | SF_FORMAT_ULAW, 1},
      {"ima.wav", SF_FORMAT_WAV | SF_FORMAT_IMA_ADPCM, 2},
  };
  const int rate = 8000, frames = 400;
  for (const Format& f : formats) {
    std::string path = fuzz_dir() + "/" + f.name;
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = f.channels;
    info.format = f.format;
    SNDFILE* sf = sf_open(path.c_str(), SFM_WRITE, &info);
    if (!sf) {
      fprintf(stderr, "game_seeds: %s not written: %s\n", f.name, sf_strerror(nullptr));
      continue;
    }
    std::vector<float> pcm(size_t(frames * f.channels));
    for (int i = 0; i < frames; i++)
      for (int c = 0; c < f.channels; c++) pcm[size_t(i * f.channels + c)] = 0.5f * std::sin(float(i) * 0.2f * float(c + 1));
    sf_writef_float(sf, pcm.data(), frames);
    sf_close(sf);
    put("sound_file", f.name, read_bytes(path));
  }
}

int main(int argc, char** argv)
{
  if (argc != 2) {
    fprintf(stderr, "usage: game_seeds <out-dir>\n");
    return 2;
  }
  out_dir = argv[1];
  fuzz_game_init();
  dev_server_seeds();
  sound_seeds();
  bool saved = save_seeds();
  fuzz_game_after_input();
  return saved ? 0 : 1;
}

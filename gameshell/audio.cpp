// The audio layer on OpenAL Soft (see audio.h). One lock guards the handle
// tables and every OpenAL call, shared by the main thread and the feeder
// thread; the feeder refills the streams' queued buffers and runs slides.
// Sound files are decoded by libsndfile from memory (audioDecode.cpp).
#include "gameshell/audio.h"
#include "gameshell/audioDecode.h"

#include "engine/debug.h"

#define AL_ALEXT_PROTOTYPES
#include <AL/al.h>
#include <AL/alc.h>
#include <AL/alext.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

std::atomic<uint32_t> sound_stream_to_chain{0};

namespace
{

// handle = kind << 28 | generation << 12 | index: positive as a script integer
enum { KIND_SAMPLE = 1, KIND_CHANNEL = 2, KIND_STREAM = 3 };
enum { INDEX_BITS = 12, MAX_SLOTS = 1 << INDEX_BITS, GEN_MASK = (1 << 16) - 1 };
enum { MAX_SOURCES = 250 };
enum { STREAM_BUFFERS = 4, STREAM_BLOCK_FRAMES = 4096 };

uint32_t make_handle(int kind, uint32_t gen, int index)
{
  return (uint32_t(kind) << 28) | ((gen & GEN_MASK) << INDEX_BITS) | uint32_t(index);
}

struct Sample
{
  bool used = false;
  uint32_t gen = 0;
  DecodedSound pcm;
  ALuint buffer = 0;
  int flags = 0;
  int overrideMode = 0;
  float volume = 1.f, minDist = 1.f, maxDist = 10000.f;
  std::vector<int> slots;  // channel index per playback, -1 for none
};

struct Stream
{
  unsigned char* block = nullptr;  // the file's image; the decoder reads it
  StreamDecoder dec;
  ALuint buffers[STREAM_BUFFERS] = {};
  std::vector<ALuint> spare;  // buffers not queued
  int64_t loopFrame = -1;
  bool ended = false;  // the decoder gave its last frame
  std::vector<int16_t> scratch;
};

struct Channel
{
  bool used = false;
  uint32_t gen = 0;
  int kind = 0;
  int sample = -1;  // sample channels
  Stream* stream = nullptr;
  ALuint source = 0;
  int flags = 0;
  float volume = 1.f, pan = 0.f;
  bool fresh = true;     // never played since it was made
  bool playing = false;  // streams: wanted to play
  bool paused = false;
  uint64_t started = 0;  // play order, for overriding the longest playing
  double pendingOffset = -1.0;
  bool sliding = false, stopAtEnd = false;
  float slideFrom = 0.f, slideTo = 0.f;
  double slideTime = 0.0, slideElapsed = 0.0;
  float pos[3] = {0, 0, 0}, vel[3] = {0, 0, 0};
  float minDist = 1.f, maxDist = 10000.f;
  bool dirty3d = false;
};

std::recursive_mutex lock_;
ALCdevice* device = nullptr;
ALCcontext* context = nullptr;
bool loopback = false;
int output_rate = 44100;
std::thread feeder;
std::atomic<bool> feeder_run{false};

std::vector<Sample> samples(MAX_SLOTS);
std::vector<Channel> channels(MAX_SLOTS);
std::vector<ALuint> free_sources;
int sources_made = 0;
uint64_t play_counter = 0;

float master_volume = 1.f;
int gvol_sample = 10000, gvol_stream = 10000;
float factor_distance = 1.f, factor_rolloff = 1.f, factor_doppler = 1.f;
bool factors_dirty = true;
float listener[3 + 3 + 6] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 1, 0};  // pos, vel, front, top (game axes)
bool listener_dirty = true;

typedef std::lock_guard<std::recursive_mutex> Guard;

bool device_ok() { return context != nullptr; }

int handle_index(uint32_t h, int kind, uint32_t gen_of_slot)
{
  if (int(h >> 28) != kind) return -1;
  int index = int(h & (MAX_SLOTS - 1));
  if (((h >> INDEX_BITS) & GEN_MASK) != (gen_of_slot & GEN_MASK)) return -1;
  return index;
}

Sample* find_sample(uint32_t h)
{
  if (int(h >> 28) != KIND_SAMPLE) return nullptr;
  Sample& s = samples[h & (MAX_SLOTS - 1)];
  if (!s.used || handle_index(h, KIND_SAMPLE, s.gen) < 0) return nullptr;
  return &s;
}

// Sample channels and streams alike.
Channel* find_channel(uint32_t h)
{
  int kind = int(h >> 28);
  if (kind != KIND_CHANNEL && kind != KIND_STREAM) return nullptr;
  Channel& c = channels[h & (MAX_SLOTS - 1)];
  if (!c.used || c.kind != kind || handle_index(h, kind, c.gen) < 0) return nullptr;
  return &c;
}

uint32_t channel_handle(const Channel& c) { return make_handle(c.kind, c.gen, int(&c - channels.data())); }

float channel_gain(const Channel& c)
{
  float g = std::max(0.f, c.volume);
  return g * float(c.kind == KIND_STREAM ? gvol_stream : gvol_sample) / 10000.f;
}

void push_gain(Channel& c)
{
  if (c.source) alSourcef(c.source, AL_GAIN, channel_gain(c));
}

// Game axes are left-handed, OpenAL's right-handed: z changes sign.
void push_3d(Channel& c)
{
  c.dirty3d = false;
  if (!c.source || !(c.flags & SOUND_3D)) return;
  alSource3f(c.source, AL_POSITION, c.pos[0], c.pos[1], -c.pos[2]);
  alSource3f(c.source, AL_VELOCITY, c.vel[0], c.vel[1], -c.vel[2]);
  alSourcef(c.source, AL_REFERENCE_DISTANCE, std::max(c.minDist, 1e-4f));
  alSourcef(c.source, AL_MAX_DISTANCE, std::max(c.maxDist, c.minDist));
  alSourcef(c.source, AL_ROLLOFF_FACTOR, factor_rolloff);
}

void push_pan(Channel& c)
{
  if (!c.source || (c.flags & SOUND_3D)) return;
  float p = std::min(1.f, std::max(-1.f, c.pan));
  alSource3f(c.source, AL_POSITION, p, 0.f, -std::sqrt(1.f - p * p));
}

ALuint acquire_source();

void release_source(ALuint src)
{
  alSourceStop(src);
  alSourcei(src, AL_BUFFER, 0);
  free_sources.push_back(src);
}

bool sample_channel_busy(const Channel& c)
{
  if (c.fresh || c.paused) return true;
  ALint state = AL_STOPPED;
  alGetSourcei(c.source, AL_SOURCE_STATE, &state);
  return state == AL_PLAYING;
}

// Frees a sample channel: its handle is dead from now on.
void free_channel(Channel& c)
{
  if (c.kind == KIND_CHANNEL && c.sample >= 0) {
    for (int& s : samples[c.sample].slots)
      if (s == int(&c - channels.data())) s = -1;
  }
  if (c.source) release_source(c.source);
  uint32_t gen = c.gen + 1;
  c = Channel();
  c.gen = gen;
}

ALuint acquire_source()
{
  if (!free_sources.empty()) {
    ALuint s = free_sources.back();
    free_sources.pop_back();
    return s;
  }
  if (sources_made < MAX_SOURCES) {
    ALuint s = 0;
    alGetError();
    alGenSources(1, &s);
    if (alGetError() == AL_NO_ERROR && s) {
      sources_made++;
      return s;
    }
  }
  // Every source is taken: reclaim one from a sample channel that ended.
  for (Channel& c : channels)
    if (c.used && c.kind == KIND_CHANNEL && !sample_channel_busy(c)) {
      ALuint s = c.source;
      c.source = 0;
      free_channel(c);
      alSourceStop(s);
      alSourcei(s, AL_BUFFER, 0);
      return s;
    }
  return 0;
}

int new_channel_slot()
{
  for (int i = 1; i < MAX_SLOTS; i++)
    if (!channels[i].used) return i;
  return -1;
}

void reset_source(ALuint src, int flags)
{
  alSourcei(src, AL_LOOPING, AL_FALSE);
  alSourcef(src, AL_PITCH, 1.f);
  alSourcei(src, AL_SOURCE_RELATIVE, (flags & SOUND_3D) ? AL_FALSE : AL_TRUE);
  alSource3f(src, AL_POSITION, 0.f, 0.f, 0.f);
  alSource3f(src, AL_VELOCITY, 0.f, 0.f, 0.f);
  alSourcef(src, AL_ROLLOFF_FACTOR, (flags & SOUND_3D) ? factor_rolloff : 0.f);
}

// ---- streams ----

void stream_flush(Channel& c)
{
  Stream& s = *c.stream;
  alSourceStop(c.source);
  alSourcei(c.source, AL_BUFFER, 0);
  s.spare.assign(s.buffers, s.buffers + STREAM_BUFFERS);
}

// Decodes one block, going on at the loop point or the start at the end;
// false when nothing more comes.
bool stream_decode_block(Channel& c, ALuint buffer)
{
  Stream& s = *c.stream;
  int ch = s.dec.outChannels();
  s.scratch.resize(size_t(STREAM_BLOCK_FRAMES) * ch);
  int got = 0;
  bool restarted = false;
  while (got < STREAM_BLOCK_FRAMES && !s.ended) {
    int n = s.dec.read(s.scratch.data() + size_t(got) * ch, STREAM_BLOCK_FRAMES - got);
    if (n > 0) {
      got += n;
      restarted = false;
      continue;
    }
    // The end: chained streams report it from here, at mixing time.
    if (c.flags & SOUND_CHAIN) sound_stream_to_chain.store(channel_handle(c));
    int64_t to = s.loopFrame >= 0 ? s.loopFrame : ((c.flags & SOUND_LOOP) ? 0 : -1);
    if (to < 0 || restarted || !s.dec.seek(to))
      s.ended = true;
    else
      restarted = true;  // a loop that gives nothing at once ends the stream
  }
  if (got == 0) return false;
  alBufferData(buffer, ch == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, s.scratch.data(),
               ALsizei(size_t(got) * ch * sizeof(int16_t)), s.dec.rate());
  return true;
}

void stream_fill(Channel& c)
{
  Stream& s = *c.stream;
  ALint processed = 0;
  alGetSourcei(c.source, AL_BUFFERS_PROCESSED, &processed);
  while (processed-- > 0) {
    ALuint b = 0;
    alSourceUnqueueBuffers(c.source, 1, &b);
    s.spare.push_back(b);
  }
  while (!s.spare.empty() && !s.ended) {
    ALuint b = s.spare.back();
    if (!stream_decode_block(c, b)) break;
    s.spare.pop_back();
    alSourceQueueBuffers(c.source, 1, &b);
  }
}

void stream_update(Channel& c)
{
  if (!c.playing || c.paused) return;
  stream_fill(c);
  ALint state = AL_STOPPED, queued = 0;
  alGetSourcei(c.source, AL_SOURCE_STATE, &state);
  alGetSourcei(c.source, AL_BUFFERS_QUEUED, &queued);
  if (state != AL_PLAYING) {
    if (queued > 0)
      alSourcePlay(c.source);  // ran dry while the feeder was late
    else
      c.playing = false;  // played to its end
  }
}

void stream_seek(Channel& c, int64_t frame)
{
  stream_flush(c);
  c.stream->ended = !c.stream->dec.seek(frame);
  if (c.playing && !c.paused) {
    stream_fill(c);
    alSourcePlay(c.source);
  }
}

void free_stream(Channel& c)
{
  Stream* s = c.stream;
  if (c.source) {
    stream_flush(c);
    alDeleteBuffers(STREAM_BUFFERS, s->buffers);
  }
  s->dec.close();
  free(s->block);
  delete s;
  c.stream = nullptr;
  free_channel(c);
}

// ---- slides, streams: the feeder's step ----

void stop_channel(Channel& c)
{
  c.sliding = false;
  if (c.kind == KIND_CHANNEL) {
    free_channel(c);
    return;
  }
  c.playing = false;
  c.paused = false;
  stream_flush(c);
}

void update_audio(double dt)
{
  for (Channel& c : channels) {
    if (!c.used) continue;
    if (c.sliding && !c.paused) {
      c.slideElapsed += dt;
      double t = c.slideTime > 0 ? std::min(1.0, c.slideElapsed / c.slideTime) : 1.0;
      c.volume = float(c.slideFrom + (c.slideTo - c.slideFrom) * t);
      push_gain(c);
      if (t >= 1.0) {
        c.sliding = false;
        if (c.stopAtEnd) {
          stop_channel(c);
          continue;
        }
      }
    }
    if (c.kind == KIND_STREAM) stream_update(c);
  }
}

void feeder_main()
{
  auto last = std::chrono::steady_clock::now();
  while (feeder_run.load()) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
    auto now = std::chrono::steady_clock::now();
    double dt = std::chrono::duration<double>(now - last).count();
    last = now;
    Guard g(lock_);
    update_audio(dt);
  }
}

bool start_context(ALCdevice* dev, const ALCint* attrs, bool use3d)
{
  ALCcontext* ctx = alcCreateContext(dev, attrs);
  if (!ctx || !alcMakeContextCurrent(ctx)) {
    if (ctx) alcDestroyContext(ctx);
    alcCloseDevice(dev);
    return false;
  }
  device = dev;
  context = ctx;
  alDistanceModel(AL_INVERSE_DISTANCE_CLAMPED);
  alListenerf(AL_GAIN, master_volume);
  factors_dirty = listener_dirty = true;
  debug("sound init OK, %s mode", use3d ? "3d" : "2d");
  return true;
}

float dist3(const float* a, const float* b)
{
  float dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
  return std::sqrt(dx * dx + dy * dy + dz * dz);
}

// The busy channel the override mode gives up, or -1.
int pick_override(const Sample& s)
{
  int mode = s.overrideMode;
  if (mode == SOUND_OVERRIDE_AUTO) mode = (s.flags & SOUND_3D) ? SOUND_OVERRIDE_DISTANCE : SOUND_OVERRIDE_POSITION;
  int best = -1;
  float bestKey = 0.f;
  for (int idx : s.slots) {
    if (idx < 0) continue;
    const Channel& c = channels[idx];
    float key;
    if (mode == SOUND_OVERRIDE_VOLUME)
      key = -c.volume;
    else if (mode == SOUND_OVERRIDE_POSITION)
      key = -float(c.started);
    else if (mode == SOUND_OVERRIDE_DISTANCE)
      key = dist3(c.pos, listener);
    else
      return -1;
    if (best < 0 || key > bestKey) {
      best = idx;
      bestKey = key;
    }
  }
  return best;
}

bool read_file_part(const char* path, int offset, int length, std::vector<unsigned char>& out)
{
  FILE* f = fopen(path, "rb");
  if (!f) return false;
  bool ok = false;
  if (fseek(f, 0, SEEK_END) == 0) {
    long size = ftell(f);
    if (offset >= 0 && size > offset) {
      long n = length > 0 ? std::min<long>(length, size - offset) : size - offset;
      out.resize(size_t(n));
      ok = fseek(f, offset, SEEK_SET) == 0 && fread(out.data(), 1, size_t(n), f) == size_t(n);
    }
  }
  fclose(f);
  return ok;
}

}  // namespace

// ---- device ----

bool init_sound(bool use3d)
{
  Guard g(lock_);
  if (device) return true;
  ALCdevice* dev = alcOpenDevice(nullptr);
  if (!dev) {
    debug("no sound device: the game runs silent");
    return false;
  }
  if (!start_context(dev, nullptr, use3d)) {
    debug("no sound device: the game runs silent");
    return false;
  }
  loopback = false;
  feeder_run = true;
  feeder = std::thread(feeder_main);
  return true;
}

bool init_sound_loopback(int rate)
{
  Guard g(lock_);
  if (device) return false;
  ALCdevice* dev = alcLoopbackOpenDeviceSOFT(nullptr);
  if (!dev) return false;
  const ALCint attrs[] = {ALC_FORMAT_CHANNELS_SOFT, ALC_STEREO_SOFT, ALC_FORMAT_TYPE_SOFT, ALC_FLOAT_SOFT,
                          ALC_FREQUENCY, rate, ALC_HRTF_SOFT, ALC_FALSE, ALC_OUTPUT_LIMITER_SOFT, ALC_FALSE, 0};
  if (!start_context(dev, attrs, true)) return false;
  loopback = true;
  output_rate = rate;
  return true;
}

void audio_render_loopback(float* out, int frames)
{
  Guard g(lock_);
  if (!device || !loopback) {
    memset(out, 0, sizeof(float) * 2 * size_t(frames));
    return;
  }
  const int step = std::max(1, output_rate / 100);
  while (frames > 0) {
    int n = std::min(step, frames);
    alcRenderSamplesSOFT(device, out, n);
    update_audio(double(n) / output_rate);
    out += 2 * n;
    frames -= n;
  }
}

bool close_sound()
{
  debug("closing sound");
  if (feeder.joinable()) {
    feeder_run = false;
    feeder.join();
  }
  Guard g(lock_);
  for (Channel& c : channels)
    if (c.used) {
      if (c.kind == KIND_STREAM)
        free_stream(c);
      else
        free_channel(c);
    }
  for (Sample& s : samples)
    if (s.used) free_sound_sample(make_handle(KIND_SAMPLE, s.gen, int(&s - samples.data())));
  if (!device) return false;
  for (ALuint s : free_sources) alDeleteSources(1, &s);
  free_sources.clear();
  sources_made = 0;
  alcMakeContextCurrent(nullptr);
  alcDestroyContext(context);
  alcCloseDevice(device);
  context = nullptr;
  device = nullptr;
  loopback = false;
  sound_stream_to_chain = 0;
  return true;
}

// ---- volumes ----

float get_master_volume()
{
  Guard g(lock_);
  return device_ok() ? master_volume : -1.f;
}

void set_master_volume(float volume)
{
  Guard g(lock_);
  master_volume = std::min(1.f, std::max(0.f, volume));
  if (device_ok()) alListenerf(AL_GAIN, master_volume);
}

static void set_global_volume(int& which, int volume)
{
  Guard g(lock_);
  which = std::min(10000, std::max(0, volume));
  for (Channel& c : channels)
    if (c.used) push_gain(c);
}

void set_global_sample_volume(int volume) { set_global_volume(gvol_sample, volume); }
int get_global_sample_volume() { return gvol_sample; }
void set_global_stream_volume(int volume) { set_global_volume(gvol_stream, volume); }
int get_global_stream_volume() { return gvol_stream; }

// ---- streams ----

uint32_t load_sound_stream(const char* path, double loop_start_seconds, int flags, int offset, int size)
{
  FILE* f = fopen(path, "rb");
  if (!f) {
    debug("failed to open stream file '%s'", path);
    return 0;
  }
  if (size <= 0) {
    long len = fseek(f, 0, SEEK_END) == 0 ? ftell(f) : -1;
    size = offset >= 0 && len > offset ? int(std::min<long>(len - offset, 0x7fffffff)) : 0;
    if (size <= 0) {
      debug("invalid offset %d for '%s'", offset, path);
      fclose(f);
      return 0;
    }
  }
  unsigned char* block = (unsigned char*)malloc(size_t(size));
  if (!block) {
    debug("not enough memory for '%s'", path);
    fclose(f);
    return 0;
  }
  if (offset < 0 || fseek(f, offset, SEEK_SET) != 0 || fread(block, 1, size_t(size), f) != size_t(size)) {
    debug("error reading stream file '%s'", path);
    free(block);
    fclose(f);
    return 0;
  }
  fclose(f);

  Guard g(lock_);
  Stream* s = new Stream;
  s->block = block;
  int slot = new_channel_slot();
  if (slot < 0 || !s->dec.open(block, size, (flags & SOUND_3D) != 0)) {
    debug("error creating stream from '%s'", path);
    free(block);
    delete s;
    return 0;
  }
  if (loop_start_seconds >= 0) s->loopFrame = int64_t(std::llround(loop_start_seconds * s->dec.rate()));
  Channel& c = channels[slot];
  c.used = true;
  c.kind = KIND_STREAM;
  c.flags = flags;
  c.stream = s;
  if (device_ok()) {
    c.source = acquire_source();
    alGetError();
    alGenBuffers(STREAM_BUFFERS, s->buffers);
    if (!c.source || alGetError() != AL_NO_ERROR) {
      debug("error creating stream from '%s'", path);
      free_stream(c);
      return 0;
    }
    reset_source(c.source, flags);
    s->spare.assign(s->buffers, s->buffers + STREAM_BUFFERS);
    push_gain(c);
    push_3d(c);
  }
  return channel_handle(c);
}

bool free_sound_stream(uint32_t stream)
{
  Guard g(lock_);
  Channel* c = find_channel(stream);
  if (!c || c->kind != KIND_STREAM) return false;
  free_stream(*c);
  return true;
}

// ---- samples ----

uint32_t load_sound_sample(const char* path, int max_playbacks, int flags, int override_mode, int offset, int length)
{
  std::vector<unsigned char> file;
  DecodedSound pcm;
  if (max_playbacks < 1 || max_playbacks > 1000 || !read_file_part(path, offset, length, file) ||
      !decode_sound(file.data(), int64_t(file.size()), (flags & SOUND_3D) != 0, pcm)) {
    debug("error loading sample from '%s'", path);
    return 0;
  }
  Guard g(lock_);
  int slot = -1;
  for (int i = 1; i < MAX_SLOTS && slot < 0; i++)
    if (!samples[i].used) slot = i;
  if (slot < 0) {
    debug("error loading sample from '%s'", path);
    return 0;
  }
  Sample& s = samples[slot];
  if (device_ok()) {
    alGetError();
    alGenBuffers(1, &s.buffer);
    alBufferData(s.buffer, pcm.channels == 1 ? AL_FORMAT_MONO16 : AL_FORMAT_STEREO16, pcm.data.data(),
                 ALsizei(pcm.data.size() * sizeof(int16_t)), pcm.rate);
    if (alGetError() != AL_NO_ERROR) {
      if (s.buffer) alDeleteBuffers(1, &s.buffer);
      s.buffer = 0;
      debug("error loading sample from '%s'", path);
      return 0;
    }
  }
  s.used = true;
  s.flags = flags;
  s.overrideMode = override_mode;
  s.volume = 1.f;
  s.minDist = 1.f;
  s.maxDist = 10000.f;
  s.slots.assign(size_t(max_playbacks), -1);
  s.pcm = std::move(pcm);
  s.pcm.data.clear();  // the device holds the sound now; only its length is needed
  s.pcm.data.shrink_to_fit();
  return make_handle(KIND_SAMPLE, s.gen, slot);
}

bool free_sound_sample(uint32_t sample)
{
  Guard g(lock_);
  Sample* s = find_sample(sample);
  if (!s) return false;
  for (int idx : std::vector<int>(s->slots))
    if (idx >= 0) free_channel(channels[idx]);
  if (s->buffer) alDeleteBuffers(1, &s->buffer);
  uint32_t gen = s->gen + 1;
  *s = Sample();
  s->gen = gen;
  return true;
}

bool set_sound_sample_volume(uint32_t sample, float volume)
{
  Guard g(lock_);
  Sample* s = find_sample(sample);
  if (!s) return false;
  s->volume = volume;
  return true;
}

bool set_sound_sample_dist(uint32_t sample, float min_dist, float max_dist)
{
  Guard g(lock_);
  Sample* s = find_sample(sample);
  if (!s) return false;
  s->minDist = min_dist;
  s->maxDist = max_dist;
  return true;
}

uint32_t get_sound_sample_channel(uint32_t sample, bool only_new)
{
  Guard g(lock_);
  Sample* s = find_sample(sample);
  if (!s || !device_ok()) return 0;
  int place = -1;
  for (size_t i = 0; i < s->slots.size() && place < 0; i++)
    if (s->slots[i] < 0) place = int(i);
  for (size_t i = 0; i < s->slots.size() && place < 0; i++)
    if (!sample_channel_busy(channels[s->slots[i]])) place = int(i);
  if (place < 0 && !only_new) {
    int victim = pick_override(*s);
    for (size_t i = 0; i < s->slots.size() && place < 0; i++)
      if (s->slots[i] == victim) place = int(i);
  }
  if (place < 0) return 0;
  if (s->slots[place] >= 0) free_channel(channels[s->slots[place]]);

  int slot = new_channel_slot();
  ALuint src = slot >= 0 ? acquire_source() : 0;
  if (!src) return 0;
  s = find_sample(sample);  // reclaiming a source may not free this sample, but re-check
  if (!s) {
    free_sources.push_back(src);
    return 0;
  }
  Channel& c = channels[slot];
  c.used = true;
  c.kind = KIND_CHANNEL;
  c.sample = int(s - samples.data());
  c.source = src;
  c.flags = s->flags;
  c.volume = s->volume;
  c.minDist = s->minDist;
  c.maxDist = s->maxDist;
  s->slots[place] = slot;
  reset_source(src, c.flags);
  alSourcei(src, AL_BUFFER, ALint(s->buffer));
  alSourcei(src, AL_LOOPING, (c.flags & SOUND_LOOP) ? AL_TRUE : AL_FALSE);
  push_gain(c);
  push_3d(c);
  return channel_handle(c);
}

// ---- channels ----

bool play_sound(uint32_t channel, bool restart)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c || !c->source) return false;
  if (c->dirty3d) push_3d(*c);
  c->started = ++play_counter;
  if (c->kind == KIND_STREAM) {
    Stream& s = *c->stream;
    ALint state = AL_STOPPED;
    alGetSourcei(c->source, AL_SOURCE_STATE, &state);
    if (restart || (s.ended && !c->playing)) {
      stream_flush(*c);
      s.ended = !s.dec.seek(0);
    } else if (c->paused && state == AL_PAUSED) {
      c->paused = false;
      alSourcePlay(c->source);
      return true;
    }
    c->playing = true;
    c->paused = false;
    c->fresh = false;
    stream_fill(*c);
    alGetSourcei(c->source, AL_SOURCE_STATE, &state);
    if (state != AL_PLAYING) alSourcePlay(c->source);
    return true;
  }
  ALint state = AL_INITIAL;
  alGetSourcei(c->source, AL_SOURCE_STATE, &state);
  if (c->pendingOffset >= 0) {
    // A position asked for before the first play is where playing starts.
    alSourceRewind(c->source);
    alSourcef(c->source, AL_SEC_OFFSET, float(c->pendingOffset));
    c->pendingOffset = -1.0;
    alSourcePlay(c->source);
  } else if (restart) {
    alSourceRewind(c->source);
    alSourcePlay(c->source);
  } else if (state != AL_PLAYING) {
    alSourcePlay(c->source);
  }
  c->fresh = false;
  c->paused = false;
  return true;
}

bool pause_sound(uint32_t channel)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c || !c->source || !is_sound_playing(channel)) return false;
  alSourcePause(c->source);
  c->paused = true;
  return true;
}

bool stop_sound(uint32_t channel)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c) return false;
  if (c->source) stop_channel(*c);
  return true;
}

bool is_sound_playing(uint32_t channel)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c || !c->source || c->paused) return false;
  if (c->kind == KIND_STREAM) return c->playing;
  ALint state = AL_STOPPED;
  alGetSourcei(c->source, AL_SOURCE_STATE, &state);
  return state == AL_PLAYING;
}

bool set_sound_volume(uint32_t channel, float volume)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c) return false;
  c->sliding = false;
  c->volume = volume;
  push_gain(*c);
  return true;
}

bool set_sound_pan(uint32_t channel, float pan)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c) return false;
  c->pan = pan;
  push_pan(*c);
  return true;
}

static bool start_slide(uint32_t channel, float volume, int ms, bool stop_at_end)
{
  Channel* c = find_channel(channel);
  if (!c) return false;
  c->sliding = true;
  c->stopAtEnd = stop_at_end;
  c->slideFrom = c->volume;
  c->slideTo = volume;
  c->slideTime = ms / 1000.0;
  c->slideElapsed = 0.0;
  return true;
}

bool slide_sound_volume(uint32_t channel, float volume, int ms)
{
  if (ms <= 0) return set_sound_volume(channel, volume);
  Guard g(lock_);
  return start_slide(channel, volume, ms, false);
}

bool fade_out_and_stop_sound(uint32_t channel, int ms)
{
  if (ms <= 0) {
    set_sound_volume(channel, 0.f);
    return stop_sound(channel);
  }
  Guard g(lock_);
  return start_slide(channel, 0.f, ms, true);
}

bool set_relative_sound_pos(uint32_t channel, float fraction)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c || !c->source) return false;
  fraction = std::min(1.f, std::max(0.f, fraction));
  if (c->kind == KIND_STREAM) {
    int64_t frames = c->stream->dec.frames();
    stream_seek(*c, std::min<int64_t>(int64_t(double(frames) * fraction), std::max<int64_t>(frames - 1, 0)));
    return true;
  }
  const DecodedSound& pcm = samples[c->sample].pcm;
  double seconds = double(pcm.frames) * fraction / pcm.rate;
  seconds = std::min(seconds, std::max(0.0, double(pcm.frames - 1) / pcm.rate));
  ALint state = AL_INITIAL;
  alGetSourcei(c->source, AL_SOURCE_STATE, &state);
  if (state == AL_PLAYING || state == AL_PAUSED)
    alSourcef(c->source, AL_SEC_OFFSET, float(seconds));
  else
    c->pendingOffset = seconds;
  return true;
}

// ---- 3D ----

bool set_listener_3d_factors(float distance, float rolloff, float doppler)
{
  Guard g(lock_);
  if (!device_ok()) return false;
  factor_distance = distance > 0 ? distance : 1.f;
  factor_rolloff = std::max(0.f, rolloff);
  factor_doppler = std::max(0.f, doppler);
  factors_dirty = true;
  return true;
}

bool set_listener_pos(vec4f pos, vec4f vel, vec4f front, const vec4f& top)
{
  Guard g(lock_);
  if (!device_ok()) return false;
  for (int i = 0; i < 3; i++) {
    listener[i] = pos[i];
    listener[3 + i] = vel[i];
    listener[6 + i] = front[i];
    listener[9 + i] = top[i];
  }
  listener_dirty = true;
  return true;
}

bool set_sound_3d_params(uint32_t channel, float min_dist, float max_dist)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c || !(c->flags & SOUND_3D)) return false;
  if (min_dist >= 0) c->minDist = min_dist;
  if (max_dist >= 0) c->maxDist = max_dist;
  c->dirty3d = true;
  return true;
}

bool set_sound_3d_pos(uint32_t channel, vec4f pos, vec4f vel)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c || !(c->flags & SOUND_3D)) return false;
  for (int i = 0; i < 3; i++) {
    c->pos[i] = pos[i];
    c->vel[i] = vel[i];
  }
  c->dirty3d = true;
  return true;
}

bool set_sound_3d_pos(uint32_t channel, vec4f pos)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c || !(c->flags & SOUND_3D)) return false;
  for (int i = 0; i < 3; i++) c->pos[i] = pos[i];
  c->dirty3d = true;
  return true;
}

bool get_sound_3d_pos(uint32_t channel, vec4f& out)
{
  Guard g(lock_);
  Channel* c = find_channel(channel);
  if (!c || !(c->flags & SOUND_3D)) return false;
  out = make4f(c->pos[0], c->pos[1], c->pos[2], 1.f);
  return true;
}

void apply_3d_sound()
{
  Guard g(lock_);
  if (!device_ok()) return;
  alDeferUpdatesSOFT();
  if (factors_dirty) {
    alSpeedOfSound(343.3f * factor_distance);
    alDopplerFactor(factor_doppler);
    for (Channel& c : channels)
      if (c.used && (c.flags & SOUND_3D)) c.dirty3d = true;
    factors_dirty = false;
  }
  if (listener_dirty) {
    const float* l = listener;
    alListener3f(AL_POSITION, l[0], l[1], -l[2]);
    alListener3f(AL_VELOCITY, l[3], l[4], -l[5]);
    const float orient[6] = {l[6], l[7], -l[8], l[9], l[10], -l[11]};
    alListenerfv(AL_ORIENTATION, orient);
    listener_dirty = false;
  }
  for (Channel& c : channels)
    if (c.used && c.dirty3d) push_3d(c);
  alProcessUpdatesSOFT();
}

int sound_sample_playing_count(uint32_t sample)
{
  Guard g(lock_);
  Sample* s = find_sample(sample);
  if (!s) return 0;
  int n = 0;
  for (int idx : s->slots)
    if (idx >= 0) {
      ALint state = AL_STOPPED;
      alGetSourcei(channels[idx].source, AL_SOURCE_STATE, &state);
      n += state == AL_PLAYING;
    }
  return n;
}

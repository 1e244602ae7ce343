// Sound file decoding for the audio layer: libsndfile reading a file image
// in memory (any format it knows: WAV, OGG, FLAC, ...), as 16-bit PCM of
// one or two channels. Three or more channels, a rate outside 1000-192000 Hz
// or no frames at all count as unreadable. Callers own the locking.
#pragma once

#include <cstdint>
#include <vector>

struct DecodedSound
{
  int channels = 0;  // 1 or 2
  int rate = 0;
  int64_t frames = 0;
  std::vector<int16_t> data;  // interleaved
};

// The whole sound; mono mixes two channels into one. False for a file that
// cannot be read.
bool decode_sound(const unsigned char* image, int64_t size, bool mono, DecodedSound& out);

// A sound decoded piece by piece from an image that outlives the decoder.
class StreamDecoder
{
public:
  StreamDecoder() = default;
  ~StreamDecoder() { close(); }
  bool open(const unsigned char* image, int64_t size, bool mono);
  void close();
  // Up to `frames` frames into out; 0 at the end.
  int read(int16_t* out, int frames);
  bool seek(int64_t frame);
  int outChannels() const { return mono || fileChannels == 1 ? 1 : 2; }
  int rate() const { return sampleRate; }
  int64_t frames() const { return totalFrames; }

  StreamDecoder(const StreamDecoder&) = delete;
  StreamDecoder& operator=(const StreamDecoder&) = delete;

  struct Memory
  {
    const unsigned char* data;
    int64_t size, pos;
  };

private:
  void* file = nullptr;  // SNDFILE
  Memory mem = {nullptr, 0, 0};
  bool mono = false;
  int fileChannels = 0, sampleRate = 0;
  int64_t totalFrames = 0;
  std::vector<int16_t> wide;
};

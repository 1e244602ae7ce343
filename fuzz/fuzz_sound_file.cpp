// A sound file (any format libsndfile reads) decoded whole, in stereo or
// mixed to mono, and as a stream read piece by piece after a seek.
#include "fuzz/fuzzSupport.h"

#include "gameshell/audioDecode.h"

#include <cstdlib>

// libsndfile leaves libvorbis's header state allocated when it refuses some
// damaged Ogg Vorbis streams: the library's leak, not the reader's (every
// SNDFILE the reader opens is closed).
extern "C" const char* __lsan_default_suppressions() { return "leak:libvorbis.so\n"; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  // Each open costs libsndfile a large zeroed allocation, so one input takes
  // one way through the decoder, chosen by its size (the bytes are the file):
  // stereo or mixed to mono, and every other size also streamed.
  bool mono = size & 1;
  DecodedSound sound;
  if (decode_sound(data, int64_t(size), mono, sound)) {
    if (sound.channels < 1 || sound.channels > 2 || (mono && sound.channels != 1) || sound.frames <= 0 ||
        sound.data.size() != size_t(sound.frames) * size_t(sound.channels))
      abort();
  }
  if (!(size & 2)) return 0;
  StreamDecoder stream;
  if (stream.open(data, int64_t(size), mono)) {
    int16_t buf[4096];
    stream.seek(stream.frames() / 2);
    for (int i = 0; i < 8 && stream.read(buf, 4096 / stream.outChannels()) > 0; i++) {
    }
    stream.seek(0);
    stream.read(buf, 16);
  }
  return 0;
}

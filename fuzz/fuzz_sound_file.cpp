// A sound file (any format libsndfile reads) decoded whole, in stereo and
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
  for (bool mono : {false, true}) {
    DecodedSound sound;
    if (decode_sound(data, int64_t(size), mono, sound)) {
      if (sound.channels < 1 || sound.channels > 2 || sound.frames <= 0 ||
          sound.data.size() != size_t(sound.frames) * size_t(sound.channels))
        abort();
    }
  }
  StreamDecoder stream;
  if (stream.open(data, int64_t(size), true)) {
    int16_t buf[4096];
    stream.seek(stream.frames() / 2);
    for (int i = 0; i < 8 && stream.read(buf, 4096 / stream.outChannels()) > 0; i++) {
    }
    stream.seek(0);
    stream.read(buf, 16);
  }
  return 0;
}

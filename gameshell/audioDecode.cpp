// libsndfile over a memory image through its virtual I/O callbacks.
#include "gameshell/audioDecode.h"

#include <sndfile.h>

#include <algorithm>
#include <cstring>

namespace
{

typedef StreamDecoder::Memory Memory;

sf_count_t mem_length(void* user) { return ((Memory*)user)->size; }

sf_count_t mem_seek(sf_count_t offset, int whence, void* user)
{
  Memory* m = (Memory*)user;
  sf_count_t to = whence == SEEK_SET ? offset : whence == SEEK_CUR ? m->pos + offset : m->size + offset;
  if (to < 0 || to > m->size) return -1;
  m->pos = to;
  return to;
}

sf_count_t mem_read(void* ptr, sf_count_t count, void* user)
{
  Memory* m = (Memory*)user;
  sf_count_t n = std::max<sf_count_t>(0, std::min(count, m->size - m->pos));
  memcpy(ptr, m->data + m->pos, size_t(n));
  m->pos += n;
  return n;
}

sf_count_t mem_write(const void*, sf_count_t, void*) { return 0; }
sf_count_t mem_tell(void* user) { return ((Memory*)user)->pos; }

SF_VIRTUAL_IO memory_io = {mem_length, mem_seek, mem_read, mem_write, mem_tell};

const int64_t MAX_DECODED_FRAMES = int64_t(192000) * 60 * 20;  // 20 minutes

}  // namespace

bool StreamDecoder::open(const unsigned char* image, int64_t size, bool want_mono)
{
  close();
  if (!image || size <= 0) return false;
  mem = {image, size, 0};
  SF_INFO info;
  memset(&info, 0, sizeof(info));
  SNDFILE* sf = sf_open_virtual(&memory_io, SFM_READ, &info, &mem);
  if (!sf) return false;
  if (info.channels < 1 || info.channels > 2 || info.samplerate < 1000 || info.samplerate > 192000 ||
      info.frames <= 0) {
    sf_close(sf);
    return false;
  }
  file = sf;
  mono = want_mono;
  fileChannels = info.channels;
  sampleRate = info.samplerate;
  totalFrames = info.frames;
  return true;
}

void StreamDecoder::close()
{
  if (file) sf_close((SNDFILE*)file);
  file = nullptr;
}

int StreamDecoder::read(int16_t* out, int frames)
{
  if (!file || frames <= 0) return 0;
  if (fileChannels == 1 || !mono) return int(sf_readf_short((SNDFILE*)file, out, frames));
  wide.resize(size_t(frames) * 2);
  int n = int(sf_readf_short((SNDFILE*)file, wide.data(), frames));
  for (int i = 0; i < n; i++) out[i] = int16_t((int(wide[2 * i]) + int(wide[2 * i + 1])) / 2);
  return n;
}

bool StreamDecoder::seek(int64_t frame)
{
  if (!file || frame < 0 || frame >= totalFrames) return false;
  return sf_seek((SNDFILE*)file, frame, SEEK_SET) == frame;
}

bool decode_sound(const unsigned char* image, int64_t size, bool mono, DecodedSound& out)
{
  StreamDecoder dec;
  if (!dec.open(image, size, mono)) return false;
  out.channels = dec.outChannels();
  out.rate = dec.rate();
  out.data.clear();
  // Decoded a piece at a time and appended, so the data grows by what was
  // really decoded, without zero-filling room it never uses.
  const int block = 4096;
  int16_t piece[block * 2];
  int64_t frames = 0;
  for (;;) {
    int n = dec.read(piece, block);
    if (n <= 0) break;
    frames += n;
    if (frames > MAX_DECODED_FRAMES) return false;
    out.data.insert(out.data.end(), piece, piece + size_t(n) * out.channels);
  }
  out.frames = frames;
  return frames > 0;
}

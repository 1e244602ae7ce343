// A distance-field font descriptor: read, then every glyph and kerning pair
// looked up and a text measured with it.
#include "fuzz/fuzzSupport.h"

#include "engine/text/distFont.h"

#include <cmath>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  static bool ready = (fuzz_use_dir_as_program_folder(), true);
  (void)ready;
  fuzz_write("font.fnt", data, size);
  DistFont font;
  font.load("font.fnt");
  std::string text;
  for (int i = 0; i < font.charRanges.num && text.size() < 512; i++) {
    const DistFont::CharRange& r = font.charRanges[i];
    for (int code = r.firstId; code < r.endId && text.size() < 512; code++) {
      if (!font.findGlyph(code)) abort();
      if (code > 0 && code < 256) text += char(code);
    }
  }
  for (int i = 0; i < font.kernRanges.num; i++) {
    const DistFont::KernRange& k = font.kernRanges[i];
    for (int j = 0; j < k.count; j++) {
      float amount = font.getKerning(k.first, font.kernings[k.startIndex + j].second);
      if (!std::isfinite(amount)) abort();
    }
  }
  text += "\nAV To\tx";
  int glyphs = 0;
  font.calcTextBox(text.c_str(), -1, &glyphs);
  font.calcTextBox(text.c_str(), int(text.size() / 2), nullptr);
  return 0;
}

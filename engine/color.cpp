#include "engine/color.h"

vec4f color_to_vec4f(D3dColor c)
{
  // Divide (not multiply by 1/255) so the values match the bytes exactly.
  return make4f(float(c.r()), float(c.g()), float(c.b()), float(c.a())) / v_splat(255.f);
}

D3dColor vec4f_to_color(vec4f v)
{
  vec4i i = v_cvt_f2i_round(v_saturate(v) * v_splat(255.f));
  alignas(16) int32_t b[4];
  _mm_store_si128((__m128i*)b, i);
  return D3dColor(b[0], b[1], b[2], b[3]);
}

#include "worldrender/lightning.h"

#include <cmath>

#include "engine/dynArray.h"
#include "engine/dynVBWriter.h"
#include "engine/random.h"
#include "world/noise.h"
#include "worldrender/commonFx.h"
#include "worldrender/scenePasses.h"

std::vector<LightningBolt> lightning_bolts;

namespace
{
float noise_octaves(float p)
{
  float sum = 0.f, weight = 1.f;
  for (int j = 0; j < 4; ++j) {
    sum += weight * noise1(p);
    weight *= 0.5f;
    p = 2.f * p + 0.5f;
  }
  return sum;
}

bool positive(float v) { return v > 0.f && std::isfinite(v); }
}  // namespace

void add_lightning_fx(vec4f a, vec4f b, vec4f c, float width, float wavelength, float amplitude, float life,
                      D3dColor color, int count)
{
  if (!positive(width) || !positive(wavelength) || !positive(life)) return;
  lightning_bolts.emplace_back();
  LightningBolt& bolt = lightning_bolts.back();
  b = nearest_world_image(b, a);
  bolt.age = 0.f;
  bolt.life = life;
  bolt.width = width;
  if (count < 3) count = 3;
  bolt.points.resize(size_t(count));

  const float U1 = rnd_float();
  const float R2 = (2.f * rnd_float() - 1.f) * 1000.f;
  const float R3 = (2.f * rnd_float() - 1.f) * 1000.f;
  const float R4 = (2.f * rnd_float() - 1.f) * 1000.f;
  const float q = 0.0625f / width;
  const float m = 1.f / (q * wavelength);
  float u = U1;
  const vec4f bac = b - a - c;
  for (int i = 0; i < count; ++i) {
    const float t = float(i) / float(count - 1);
    const float x = m * u;
    const vec4f n = make4f(noise_octaves(x + R2), noise_octaves(x + R3), noise_octaves(x + R4), 0.f);
    const vec4f base = a + c * v_splat(t) + bac * v_splat(t * t);
    LightningPoint& p = bolt.points[size_t(i)];
    p.pos = base + n * v_splat(4.f) * v_splat(amplitude) * v_splat(t) * v_splat(1.f - t);
    p.color = color;
    if (i > 0) u += v_extract_x(v_length3(p.pos - bolt.points[size_t(i) - 1].pos)) * q;
    p.u = u;
  }
  bolt.points.front().color = D3dColor(0u);
  bolt.points.back().color = D3dColor(0u);
}

void update_lightning(float dt)
{
  for (size_t i = 0; i < lightning_bolts.size();) {
    LightningBolt& bolt = lightning_bolts[i];
    bolt.age += dt;
    if (bolt.age >= bolt.life) {
      if (i + 1 < lightning_bolts.size()) bolt = std::move(lightning_bolts.back());
      lightning_bolts.pop_back();
    } else {
      ++i;
    }
  }
}

void reset_lightning() { lightning_bolts.clear(); }

float lightning_envelope(float a, float k)
{
  float env = (0.5f - std::fabs(2.f * a - k - 0.5f)) * 20.f;
  return env < 0.f ? 0.f : (env > 1.f ? 1.f : env);
}

void render_lightning(float t)
{
  DynVBWriter& w = common_vb_writer;
  const vec4f cam = cur_view_itm.row[3];
  // Kept from frame to frame: no allocation once they have grown.
  struct Edge
  {
    vec4f a, b;
    D3dColor color;
  };
  static DynArray<Edge> edges;
  for (const LightningBolt& bolt : lightning_bolts) {
    const size_t n = bolt.points.size();
    float a = (bolt.age + t) / bolt.life;
    if (a > 1.f) a = 1.f;
    const vec4f s = nearest_world_image(bolt.points[0].pos, cam) - bolt.points[0].pos;
    edges.resize(int(n));
    for (size_t i = 0; i < n; ++i) {
      const vec4f p = bolt.points[i].pos + s;
      const vec4f dir = i == 0 ? bolt.points[1].pos - bolt.points[0].pos : bolt.points[i].pos - bolt.points[0].pos;
      const vec4f side = v_cross3(dir, p - cam);
      const float len = v_extract_x(v_length3(side));
      // A direction along the view ray has no side: the ribbon is seen edge on.
      const vec4f sv = len > 1e-20f ? side * v_splat(bolt.width / len) : v_zero();
      edges[int(i)].a = p + sv;
      edges[int(i)].b = p - sv;
      if (i == 0) {
        edges[int(i)].color = bolt.points[i].color;
      } else {
        const float env = lightning_envelope(a, float(i) / float(n - 1));
        edges[int(i)].color = scale_color(bolt.points[i].color, v_splat((3.f - 2.f * env) * env * env));
      }
    }
    for (size_t i = 1; i < n; ++i) {
      if (w.bytesWritten() + 144 > w.size) w.flush(false);
      uint8_t* p = w.ptr;
      const float u0 = bolt.points[i - 1].u, u1 = bolt.points[i].u;
      const Edge& e0 = edges[int(i) - 1];
      const Edge& e1 = edges[int(i)];
      put_effect_vertex(p, e0.a, e0.color, u0, 0.f);
      put_effect_vertex(p, e0.b, e0.color, u0, 1.f);
      put_effect_vertex(p, e1.a, e1.color, u1, 0.f);
      put_effect_vertex(p, e0.b, e0.color, u0, 1.f);
      put_effect_vertex(p, e1.b, e1.color, u1, 1.f);
      put_effect_vertex(p, e1.a, e1.color, u1, 0.f);
      w.ptr = p;
      w.count += 2;
    }
  }
}

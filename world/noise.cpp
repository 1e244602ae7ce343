#include "world/noise.h"

#include "world/genWorkers.h"

#include <cfloat>
#include <cmath>
#include <cstring>

#include "engine/random.h"
#include "engine/ramps.h"

// ---- tables -----------------------------------------------------------------
// The permutation and the feature points a fresh program starts with, until
// the first reseed. The two tables are defined together so that the random
// floats follow the permutation in memory.

uint8_t noise_perm[512] = {
   66,  17,  77, 210, 212, 206,  97, 118,  99, 183, 134,  81, 129, 127, 176, 174,
  131,  46, 132,  40,  26,  18,  63, 219, 241, 150, 175, 158, 239, 163,  57,  27,
   31, 159, 191,  74,  33, 214,  78,  13,  86, 114,  16, 147,  70, 138,  85, 133,
  145,   3, 247,  91, 149, 224,  34, 105, 195, 152, 173,   8, 121, 197, 116, 248,
  171,   1, 104, 177, 185,  51, 170,  50, 209,  44, 215, 233, 234, 160, 201, 136,
   67,  72, 202, 135, 103, 226, 117, 232,  71, 245, 137, 255,   5,  10,  36,  55,
   41, 179,  45, 106, 220, 128,  19,  42,  28, 228, 190, 157, 172, 222, 124, 167,
  139, 168,  48,  49,   9, 130, 252,  43, 107, 113, 140, 217,  58,  94,   6, 211,
  246, 120, 200, 240,  83,  37, 141,  24,  53,  92,  82, 122, 161,  21,  29,  75,
  153, 235, 189, 126, 180,  93,  84,  62,  23,  35, 155, 123, 166,  69,  65,  20,
   38, 151,  11, 193, 144, 208, 184, 205, 221, 242, 148, 243,   2, 143, 216, 250,
   76, 178, 227, 229, 154,  30,  15, 230, 119, 218,  25,  96, 109, 142,  88, 254,
  198, 182, 203, 253, 115, 249, 146,  56,  59, 102,  73, 244, 251, 156,  14, 194,
   64, 111, 101, 181, 199, 188, 169, 125,  54, 108, 112, 238, 231,  61,   0,  87,
   52,   7, 236,  47,  22, 164, 187,  79, 204,  95, 110,  12,  32, 162,  80, 186,
  192,  60,   4,  89, 100, 237, 207, 196,  98,  39, 223,  68,  90, 213, 225, 165,
  // entries 256-511 repeat 0-255
   66,  17,  77, 210, 212, 206,  97, 118,  99, 183, 134,  81, 129, 127, 176, 174,
  131,  46, 132,  40,  26,  18,  63, 219, 241, 150, 175, 158, 239, 163,  57,  27,
   31, 159, 191,  74,  33, 214,  78,  13,  86, 114,  16, 147,  70, 138,  85, 133,
  145,   3, 247,  91, 149, 224,  34, 105, 195, 152, 173,   8, 121, 197, 116, 248,
  171,   1, 104, 177, 185,  51, 170,  50, 209,  44, 215, 233, 234, 160, 201, 136,
   67,  72, 202, 135, 103, 226, 117, 232,  71, 245, 137, 255,   5,  10,  36,  55,
   41, 179,  45, 106, 220, 128,  19,  42,  28, 228, 190, 157, 172, 222, 124, 167,
  139, 168,  48,  49,   9, 130, 252,  43, 107, 113, 140, 217,  58,  94,   6, 211,
  246, 120, 200, 240,  83,  37, 141,  24,  53,  92,  82, 122, 161,  21,  29,  75,
  153, 235, 189, 126, 180,  93,  84,  62,  23,  35, 155, 123, 166,  69,  65,  20,
   38, 151,  11, 193, 144, 208, 184, 205, 221, 242, 148, 243,   2, 143, 216, 250,
   76, 178, 227, 229, 154,  30,  15, 230, 119, 218,  25,  96, 109, 142,  88, 254,
  198, 182, 203, 253, 115, 249, 146,  56,  59, 102,  73, 244, 251, 156,  14, 194,
   64, 111, 101, 181, 199, 188, 169, 125,  54, 108, 112, 238, 231,  61,   0,  87,
   52,   7, 236,  47,  22, 164, 187,  79, 204,  95, 110,  12,  32, 162,  80, 186,
  192,  60,   4,  89, 100, 237, 207, 196,  98,  39, 223,  68,  90, 213, 225, 165,
};

float noise_random_table[512] = {
  0.118245f, 0.024383f, 0.053721f, 0.372283f, 0.504675f, 0.786130f, 0.836937f, 0.165074f,
  0.984724f, 0.521046f, 0.388568f, 0.744791f, 0.361142f, 0.817583f, 0.265556f, 0.391504f,
  0.228471f, 0.145440f, 0.977072f, 0.411338f, 0.601357f, 0.366677f, 0.720865f, 0.164831f,
  0.644248f, 0.281302f, 0.933324f, 0.011248f, 0.506012f, 0.886204f, 0.983283f, 0.333028f,
  0.419803f, 0.940483f, 0.073517f, 0.714815f, 0.742356f, 0.255619f, 0.679701f, 0.802568f,
  0.421415f, 0.766373f, 0.454234f, 0.921149f, 0.277023f, 0.959289f, 0.864418f, 0.303798f,
  0.297077f, 0.174831f, 0.491140f, 0.560356f, 0.868976f, 0.506934f, 0.484602f, 0.610118f,
  0.860599f, 0.825718f, 0.964897f, 0.376285f, 0.339719f, 0.883236f, 0.580380f, 0.668704f,
  0.734210f, 0.640092f, 0.324667f, 0.010622f, 0.862922f, 0.677685f, 0.594201f, 0.125727f,
  0.074532f, 0.908857f, 0.980452f, 0.004023f, 0.177449f, 0.877595f, 0.008020f, 0.725632f,
  0.575432f, 0.440031f, 0.716398f, 0.008902f, 0.982331f, 0.966863f, 0.884054f, 0.970641f,
  0.316352f, 0.423656f, 0.645411f, 0.188025f, 0.557171f, 0.283307f, 0.739846f, 0.311341f,
  0.095216f, 0.172591f, 0.032752f, 0.729066f, 0.127647f, 0.888127f, 0.474755f, 0.050724f,
  0.079746f, 0.896159f, 0.369781f, 0.140165f, 0.242640f, 0.771281f, 0.630437f, 0.497402f,
  0.335385f, 0.768563f, 0.827029f, 0.625250f, 0.147930f, 0.676710f, 0.077888f, 0.519456f,
  0.803138f, 0.307397f, 0.713261f, 0.110584f, 0.838045f, 0.425250f, 0.467227f, 0.823501f,
  0.744067f, 0.545059f, 0.829888f, 0.885413f, 0.561834f, 0.353572f, 0.536049f, 0.831592f,
  0.512536f, 0.856294f, 0.078317f, 0.824383f, 0.521356f, 0.898621f, 0.498524f, 0.380108f,
  0.518149f, 0.589360f, 0.099056f, 0.602694f, 0.615557f, 0.487373f, 0.607924f, 0.908359f,
  0.952704f, 0.007237f, 0.367211f, 0.212364f, 0.755925f, 0.485287f, 0.319513f, 0.987990f,
  0.691712f, 0.358701f, 0.363533f, 0.741321f, 0.549125f, 0.951044f, 0.566256f, 0.334006f,
  0.163058f, 0.891059f, 0.660650f, 0.174253f, 0.485933f, 0.471145f, 0.581184f, 0.894064f,
  0.902484f, 0.780099f, 0.199269f, 0.466474f, 0.367847f, 0.404690f, 0.178430f, 0.748880f,
  0.247019f, 0.927310f, 0.501990f, 0.141441f, 0.180596f, 0.310471f, 0.721057f, 0.899551f,
  0.009490f, 0.703000f, 0.215879f, 0.163425f, 0.759817f, 0.548301f, 0.043076f, 0.964041f,
  0.610780f, 0.847610f, 0.693901f, 0.726533f, 0.623149f, 0.479748f, 0.039290f, 0.502762f,
  0.770140f, 0.773892f, 0.986158f, 0.021983f, 0.669872f, 0.127131f, 0.759895f, 0.777719f,
  0.805524f, 0.232344f, 0.267120f, 0.198632f, 0.008399f, 0.698394f, 0.414011f, 0.505431f,
  0.922043f, 0.093132f, 0.313320f, 0.756215f, 0.358466f, 0.806113f, 0.694023f, 0.558025f,
  0.464885f, 0.130220f, 0.672493f, 0.218849f, 0.185779f, 0.222741f, 0.125479f, 0.539847f,
  0.888144f, 0.451447f, 0.269609f, 0.385058f, 0.615548f, 0.551223f, 0.199800f, 0.434370f,
  0.341825f, 0.627133f, 0.067477f, 0.939179f, 0.977903f, 0.189367f, 0.577570f, 0.333331f,
  0.669053f, 0.924099f, 0.138760f, 0.568587f, 0.121954f, 0.663553f, 0.358266f, 0.262321f,
  0.140786f, 0.839811f, 0.222946f, 0.468143f, 0.390696f, 0.129814f, 0.873968f, 0.533922f,
  0.050578f, 0.876223f, 0.467480f, 0.586477f, 0.234514f, 0.788507f, 0.483276f, 0.957212f,
  0.797762f, 0.969273f, 0.345902f, 0.149319f, 0.202468f, 0.274518f, 0.419890f, 0.964033f,
  0.199449f, 0.830417f, 0.162157f, 0.791442f, 0.041224f, 0.968413f, 0.132518f, 0.410496f,
  0.555011f, 0.479183f, 0.296319f, 0.739712f, 0.652833f, 0.440866f, 0.349525f, 0.080356f,
  0.002512f, 0.065215f, 0.466682f, 0.608297f, 0.994268f, 0.723828f, 0.032678f, 0.406824f,
  0.865478f, 0.789021f, 0.563920f, 0.584130f, 0.726482f, 0.026011f, 0.764432f, 0.525104f,
  0.794917f, 0.455760f, 0.661746f, 0.788776f, 0.802793f, 0.034225f, 0.331705f, 0.002404f,
  0.434944f, 0.939435f, 0.423791f, 0.017592f, 0.793794f, 0.780547f, 0.023277f, 0.900102f,
  0.518181f, 0.001174f, 0.460904f, 0.230721f, 0.967363f, 0.057183f, 0.329010f, 0.926683f,
  0.935821f, 0.259548f, 0.596598f, 0.042449f, 0.681722f, 0.966859f, 0.934448f, 0.907450f,
  0.137534f, 0.355034f, 0.052749f, 0.723373f, 0.207575f, 0.490755f, 0.286159f, 0.769534f,
  0.064942f, 0.967040f, 0.411354f, 0.871654f, 0.925422f, 0.038250f, 0.601317f, 0.337942f,
  0.340411f, 0.443251f, 0.645182f, 0.094785f, 0.857491f, 0.109445f, 0.203155f, 0.761792f,
  0.448104f, 0.768872f, 0.125612f, 0.794339f, 0.708662f, 0.688562f, 0.050738f, 0.563093f,
  0.434689f, 0.767041f, 0.487997f, 0.512459f, 0.030334f, 0.377022f, 0.313270f, 0.442933f,
  0.075937f, 0.326435f, 0.299609f, 0.118309f, 0.707839f, 0.700642f, 0.654558f, 0.533911f,
  0.908381f, 0.052488f, 0.114785f, 0.145343f, 0.933261f, 0.376756f, 0.771634f, 0.214343f,
  0.816862f, 0.935996f, 0.937636f, 0.985311f, 0.531811f, 0.164506f, 0.359357f, 0.391053f,
  0.741146f, 0.127032f, 0.347849f, 0.428241f, 0.854396f, 0.505437f, 0.117009f, 0.071216f,
  0.385403f, 0.786948f, 0.689922f, 0.914457f, 0.039270f, 0.420723f, 0.401328f, 0.288983f,
  0.500822f, 0.349944f, 0.199799f, 0.171674f, 0.812457f, 0.022093f, 0.563310f, 0.995532f,
  0.681019f, 0.865371f, 0.532082f, 0.366702f, 0.440582f, 0.501480f, 0.731191f, 0.778946f,
  0.943644f, 0.218363f, 0.177454f, 0.316406f, 0.128529f, 0.443837f, 0.537709f, 0.573571f,
  0.056165f, 0.993953f, 0.377680f, 0.215776f, 0.038617f, 0.367734f, 0.155174f, 0.384100f,
  0.737421f, 0.843164f, 0.770106f, 0.044003f, 0.760418f, 0.670926f, 0.256974f, 0.050232f,
  0.377661f, 0.095614f, 0.799102f, 0.497100f, 0.557128f, 0.717111f, 0.551108f, 0.911330f,
  0.595146f, 0.757737f, 0.915252f, 0.119684f, 0.663985f, 0.337393f, 0.649144f, 0.298568f,
  0.513644f, 0.277126f, 0.292482f, 0.608895f, 0.322400f, 0.463418f, 0.467828f, 0.339787f,
  0.523082f, 0.770572f, 0.249044f, 0.242889f, 0.487635f, 0.471282f, 0.562160f, 0.024205f,
  0.892140f, 0.866863f, 0.787785f, 0.866950f, 0.287880f, 0.570170f, 0.871197f, 0.490898f,
};

// Gradients of old_tiled_noise2, indexed by hash & 7: (x, y).
static constexpr int8_t grad2[8][2] = {
  {0, 1}, {0, -1}, {-1, -1}, {1, -1}, {1, 0}, {-1, 0}, {-1, 1}, {1, 1},
};

// Gradients of the 4-D simplex noise: every vector with one component 0 and
// the other three +-1.
static constexpr int8_t grad4[32][4] = {
  {0, 1, 1, 1},  {0, 1, 1, -1},  {0, 1, -1, 1},  {0, 1, -1, -1},
  {0, -1, 1, 1}, {0, -1, 1, -1}, {0, -1, -1, 1}, {0, -1, -1, -1},
  {1, 0, 1, 1},  {1, 0, 1, -1},  {1, 0, -1, 1},  {1, 0, -1, -1},
  {-1, 0, 1, 1}, {-1, 0, 1, -1}, {-1, 0, -1, 1}, {-1, 0, -1, -1},
  {1, 1, 0, 1},  {1, 1, 0, -1},  {1, -1, 0, 1},  {1, -1, 0, -1},
  {-1, 1, 0, 1}, {-1, 1, 0, -1}, {-1, -1, 0, 1}, {-1, -1, 0, -1},
  {1, 1, 1, 0},  {1, 1, -1, 0},  {1, -1, 1, 0},  {1, -1, -1, 0},
  {-1, 1, 1, 0}, {-1, 1, -1, 0}, {-1, -1, 1, 0}, {-1, -1, -1, 0},
};

// Simplex traversal: indexed by the six pairwise comparisons of the offsets
// (x>y 32, x>z 16, y>z 8, x>w 4, y>w 2, z>w 1); each entry is the rank of x, y,
// z, w among the four (3 = largest). Orderings that cannot occur are zero.
static constexpr uint8_t simplex4[64][4] = {
  {0,1,2,3}, {0,1,3,2}, {0,0,0,0}, {0,2,3,1}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {1,2,3,0},
  {0,2,1,3}, {0,0,0,0}, {0,3,1,2}, {0,3,2,1}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {1,3,2,0},
  {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0},
  {1,2,0,3}, {0,0,0,0}, {1,3,0,2}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {2,3,0,1}, {2,3,1,0},
  {1,0,2,3}, {1,0,3,2}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {2,0,3,1}, {0,0,0,0}, {2,1,3,0},
  {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0},
  {2,0,1,3}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {3,0,1,2}, {3,0,2,1}, {0,0,0,0}, {3,1,2,0},
  {2,1,0,3}, {0,0,0,0}, {0,0,0,0}, {0,0,0,0}, {3,1,0,2}, {0,0,0,0}, {3,2,0,1}, {3,2,1,0},
};

// ---- reseeding --------------------------------------------------------------

void reseed_noise()
{
  for (int i = 0; i < 256; i++) noise_perm[i] = uint8_t(i);
  for (int pass = 0; pass < 4; pass++)
    for (int i = 0; i < 256; i++) {
      int j = int(rnd_u32() & 255);
      uint8_t t = noise_perm[i];
      noise_perm[i] = noise_perm[j];
      noise_perm[j] = t;
    }
  for (int i = 0; i < 256; i++) noise_perm[256 + i] = noise_perm[i];
  for (int i = 0; i < 512; i++) noise_random_table[i] = rnd_float();
}

// ---- 1-D simplex noise ---------------------------------------------------------

static inline float grad1(int hash, float x)
{
  float g = float((hash & 7) + 1);
  if (hash & 8) g = -g;
  return g * x;
}

float noise1(float x)
{
  int i0 = fast_floor(x);
  float x0 = x - float(i0);
  float x1 = x0 - 1.0f;

  float t0 = 1.0f - x0 * x0;
  t0 = t0 * t0;
  float n0 = t0 * t0 * grad1(noise_perm[i0 & 255], x0);

  float t1 = 1.0f - x1 * x1;
  t1 = t1 * t1;
  float n1 = t1 * t1 * grad1(noise_perm[(i0 + 1) & 255], x1);

  return (n0 + n1) * 0.4f;
}

float fractal_noise1(float x, int octaves, const FloatRamp* ramp, float persistence)
{
  float n = noise1(x);
  float sum = ramp ? ramp->get((n + 1.0f) * 0.5f) : n;
  float amplitude = persistence;
  x = x * 2.0f + 0.5f;
  for (int o = 1; o < octaves; o++) {
    n = noise1(x);
    sum += (ramp ? ramp->get((n + 1.0f) * 0.5f) : n) * amplitude;
    amplitude *= persistence;
    x = x * 2.0f + 0.5f;
  }
  return sum;
}

// ---- 4-D simplex noise ---------------------------------------------------------
// Corners 0 to 3 are evaluated side by side in the four lanes of SSE vectors,
// corner 4 on its own. Every lane does exactly the float operations of the
// one-corner formula in the same order, so the result is bit for bit that of
// evaluating the corners one after another; there are just no branches to
// mispredict.

// Tables derived from grad4 and simplex4 at compile time: the gradients as
// floats (one per row, for loading whole rows), and per simplex ordering the
// offsets of corners 1 to 3, as 4-bit masks (bit 0 x, 1 y, 2 z, 3 w; corner n
// has offset 1 in a component whose rank is at least 4 - n) and as float
// vectors per component ([c][x, y, z, w] = (0, corner 1, corner 2, corner 3)).
struct Noise4Tables
{
  float grad[32][4];
  float offsets[64][4][4];
  uint8_t corners[64][3];
};

static constexpr Noise4Tables make_noise4_tables()
{
  Noise4Tables t{};
  for (int g = 0; g < 32; g++)
    for (int k = 0; k < 4; k++) t.grad[g][k] = float(grad4[g][k]);
  for (int c = 0; c < 64; c++)
    for (int n = 1; n <= 3; n++) {
      int mask = 0;
      for (int k = 0; k < 4; k++)
        if (simplex4[c][k] >= 4 - n) mask |= 1 << k;
      t.corners[c][n - 1] = uint8_t(mask);
      for (int k = 0; k < 4; k++) t.offsets[c][k][n] = float((mask >> k) & 1);
    }
  return t;
}

alignas(16) static constexpr Noise4Tables n4t = make_noise4_tables();

// One corner's contribution, without a branch (whether a corner is in reach
// is unpredictable); out of reach it is exactly +0.
static inline float corner4(int gi, float x, float y, float z, float w)
{
  float t = 0.6f - x * x - y * y - z * z - w * w;
  const float* g = n4t.grad[gi];
  float dot = g[0] * x + g[1] * y + g[2] * z + g[3] * w;
  float t2 = t * t;
  __m128 n = _mm_set_ss(t2 * t2 * dot);
  return _mm_cvtss_f32(_mm_and_ps(n, _mm_cmpnlt_ss(_mm_set_ss(t), _mm_setzero_ps())));
}

float noise4(float x, float y, float z, float w)
{
  const float F4 = 0.309017f;   // (sqrt(5) - 1) / 4
  const float G4 = 0.1381966f;  // (5 - sqrt(5)) / 20

  // Skew into the lattice of simplices and find the containing cell.
  float s = (x + y + z + w) * F4;
  int i = fast_floor(x + s);
  int j = fast_floor(y + s);
  int k = fast_floor(z + s);
  int l = fast_floor(w + s);
  // Summed without overflow even for the indices of non-finite input.
  float t = float(int(unsigned(i) + unsigned(j) + unsigned(k) + unsigned(l))) * G4;
  float x0 = x - (float(i) - t);
  float y0 = y - (float(j) - t);
  float z0 = z - (float(k) - t);
  float w0 = w - (float(l) - t);

  // The ordering of the offsets picks the simplex and its corner order.
  int c = ((x0 > y0) << 5) | ((x0 > z0) << 4) | ((y0 > z0) << 3) | ((x0 > w0) << 2) | ((y0 > w0) << 1) | (z0 > w0);
  const int m1 = n4t.corners[c][0], m2 = n4t.corners[c][1], m3 = n4t.corners[c][2];
  const int i1 = m1 & 1, j1 = (m1 >> 1) & 1, k1 = (m1 >> 2) & 1, l1 = m1 >> 3;
  const int i2 = m2 & 1, j2 = (m2 >> 1) & 1, k2 = (m2 >> 2) & 1, l2 = m2 >> 3;
  const int i3 = m3 & 1, j3 = (m3 >> 1) & 1, k3 = (m3 >> 2) & 1, l3 = m3 >> 3;

  int ii = i & 255, jj = j & 255, kk = k & 255, ll = l & 255;
  const uint8_t* p = noise_perm;
  int gi0 = p[ii + p[jj + p[kk + p[ll]]]] & 31;
  int gi1 = p[ii + i1 + p[jj + j1 + p[kk + k1 + p[ll + l1]]]] & 31;
  int gi2 = p[ii + i2 + p[jj + j2 + p[kk + k2 + p[ll + l2]]]] & 31;
  int gi3 = p[ii + i3 + p[jj + j3 + p[kk + k3 + p[ll + l3]]]] & 31;
  int gi4 = p[ii + 1 + p[jj + 1 + p[kk + 1 + p[ll + 1]]]] & 31;

  // Offsets of corners 0 to 3, one corner per lane: c0 - i_n + n * G4. Lane 0
  // is the offset itself (computing c0 - 0 + 0 could turn -0 into +0).
  const __m128 g = _mm_setr_ps(0.0f, G4, 0.2763932f, 0.41458982f);
  const float(*off)[4] = n4t.offsets[c];
  __m128 X = _mm_move_ss(_mm_add_ps(_mm_sub_ps(_mm_set1_ps(x0), _mm_load_ps(off[0])), g), _mm_set_ss(x0));
  __m128 Y = _mm_move_ss(_mm_add_ps(_mm_sub_ps(_mm_set1_ps(y0), _mm_load_ps(off[1])), g), _mm_set_ss(y0));
  __m128 Z = _mm_move_ss(_mm_add_ps(_mm_sub_ps(_mm_set1_ps(z0), _mm_load_ps(off[2])), g), _mm_set_ss(z0));
  __m128 W = _mm_move_ss(_mm_add_ps(_mm_sub_ps(_mm_set1_ps(w0), _mm_load_ps(off[3])), g), _mm_set_ss(w0));

  // Gradients of the four corners, transposed to one component per vector.
  __m128 GX = _mm_load_ps(n4t.grad[gi0]), GY = _mm_load_ps(n4t.grad[gi1]);
  __m128 GZ = _mm_load_ps(n4t.grad[gi2]), GW = _mm_load_ps(n4t.grad[gi3]);
  _MM_TRANSPOSE4_PS(GX, GY, GZ, GW);

  __m128 T = _mm_sub_ps(_mm_sub_ps(_mm_sub_ps(_mm_sub_ps(_mm_set1_ps(0.6f), _mm_mul_ps(X, X)), _mm_mul_ps(Y, Y)),
                                   _mm_mul_ps(Z, Z)),
                        _mm_mul_ps(W, W));
  __m128 dot = _mm_add_ps(_mm_add_ps(_mm_add_ps(_mm_mul_ps(GX, X), _mm_mul_ps(GY, Y)), _mm_mul_ps(GZ, Z)),
                          _mm_mul_ps(GW, W));
  __m128 T2 = _mm_mul_ps(T, T);
  __m128 N = _mm_and_ps(_mm_mul_ps(_mm_mul_ps(T2, T2), dot), _mm_cmpnlt_ps(T, _mm_setzero_ps()));
  alignas(16) float n[4];
  _mm_store_ps(n, N);

  float n4 = corner4(gi4, x0 - 1.0f + 0.5527864f, y0 - 1.0f + 0.5527864f, z0 - 1.0f + 0.5527864f,
                     w0 - 1.0f + 0.5527864f);
  return 27.0f * (n[0] + n[1] + n[2] + n[3] + n4);
}

// ---- tileable 2-D noise --------------------------------------------------------

// True when v lies within 4,096 double ulps of a point half-way between two
// floats, where rounding it to float could go either way.
static inline bool near_float_midpoint(double v)
{
  uint64_t b;
  memcpy(&b, &v, 8);
  int32_t d = int32_t(uint32_t(b) & 0x1FFFFFFFu) - 0x10000000;
  return (d < 0 ? -d : d) < 4096;
}

// float(sin(double(a))) and float(cos(double(a))), bit for bit, about twice
// as fast as the library: a quadrant reduction with a three-part pi/2 and the
// classic minimax polynomials on [-pi/4, pi/4], good to a few double ulps.
// Wherever that small error could change the rounding to float (a result
// near a half-way point; about one angle in 50,000), and outside the range
// where the reduction is exact, the library computes the value instead.
// Checked against the library for every float with |a| < 131072.
static inline void sincos_float(float a, float& s, float& c)
{
  double x = a;
  double ax = fabs(x);
  if (ax < 65536.0 && ax > 1e-30) {
    int k = _mm_cvtsd_si32(_mm_set_sd(x * 0.63661977236758134308));  // nearest multiple of pi/2
    double fk = double(k);
    double r = ((x - fk * 1.57079632673412561417e+00) - fk * 6.07710050630396597660e-11) -
               fk * 2.02226624871116645580e-21;
    double z = r * r;
    double z2 = z * z, z4 = z2 * z2;
    // Estrin's scheme: shorter dependency chains than Horner's.
    double sp = (-1.66666666666666324348e-01 + z * 8.33333333332248946124e-03) +
                z2 * (-1.98412698298579493134e-04 + z * 2.75573137070700676789e-06) +
                z4 * (-2.50507602534068634195e-08 + z * 1.58969099521155010221e-10);
    double cp = (4.16666666666666019037e-02 + z * -1.38888888888741095749e-03) +
                z2 * (2.48015872894767294178e-05 + z * -2.75573143513906633035e-07) +
                z4 * (2.08757232129817482790e-09 + z * -1.13596475577881948265e-11);
    double sr = r + r * z * sp;
    double cr = 1.0 - 0.5 * z + z2 * cp;
    // Quadrant k: odd swaps sine and cosine; bit 1 of k (sine) and of k + 1
    // (cosine) negates. Without branches: the quadrant is unpredictable.
    uint64_t srb, crb;
    memcpy(&srb, &sr, 8);
    memcpy(&crb, &cr, 8);
    uint64_t swap = 0 - uint64_t(k & 1);
    uint64_t sb = (srb & ~swap) | (crb & swap), cb = (crb & ~swap) | (srb & swap);
    sb ^= uint64_t(k & 2) << 62;
    cb ^= uint64_t((k + 1) & 2) << 62;
    double sv, cv;
    memcpy(&sv, &sb, 8);
    memcpy(&cv, &cb, 8);
    if (!near_float_midpoint(sv) && !near_float_midpoint(cv)) {
      s = float(sv);
      c = float(cv);
      return;
    }
  }
  double sd, cd;
  sincos(x, &sd, &cd);
  s = float(sd);
  c = float(cd);
}

TiledNoiseAxis tiled_noise2_axis(float v, float period)
{
  // Each axis walks once round a circle of circumference `period`, so both
  // wrap exactly; the angles and their sines are taken in double precision
  // and rounded to float so every build lands on the same values.
  const double two_pi = 6.283185307179586;
  // A period of 0 shrinks both circles to a point: the limit is the noise at
  // the origin (dividing by it would turn every value into NaN).
  if (period == 0.0f) return {0.0f, 0.0f};
  float a = float(double(v) * two_pi / double(period));
  float r = float(double(period) / two_pi);
  float s, c;
  sincos_float(a, s, c);
  return {r * c, r * s};
}

float tiled_noise2(float x, float y, float period)
{
  return tiled_noise2_at(tiled_noise2_axis(x, period), tiled_noise2_axis(y, period));
}

void tiled_noise2_grid(const TiledNoiseAxis axis[256], float* out)
{
  auto row = [&](int z) {
    for (int x = 0; x < 256; x++) out[z * 256 + x] = tiled_noise2_at(axis[x], axis[z]);
  };
  HeightmapData::parallel_rows(row);
}

float old_tiled_noise2(float x, float y, int tile)
{
  int m = (tile - 1) & 255;
  int i = fast_floor(x);
  int j = fast_floor(y);
  float fx = x - float(i);
  float fy = y - float(j);
  float sum = 0.0f;
  for (int c = 0; c < 4; c++) {
    int di = c & 1, dj = c >> 1;
    int h = noise_perm[noise_perm[(j + dj) & m] + ((i + di) & m)] & 7;
    float ox = fx - float(di);
    float oy = fy - float(dj);
    float t = 1.0f - ox * ox - oy * oy;
    if (t > 0.0f) {
      float dot = float(grad2[h][0]) * ox + float(grad2[h][1]) * oy;
      t = t * t;
      sum += t * t * dot;
    }
  }
  return 2.75f * sum;
}

// ---- cellular noise ----------------------------------------------------------

// Lattice mask of a tile of 2^tile_log2 cells (all bits from 32 on).
static inline unsigned voronoi_mask(int tile_log2)
{
  if (tile_log2 <= 0) return 0;
  return tile_log2 >= 32 ? ~0u : (1u << tile_log2) - 1;
}

// Offset and id of the feature point of the lattice cell (ix + dx, iy + dy).
// Unsigned arithmetic: the lattice wraps, and so do the ids of huge tiles.
static inline void voronoi_point(int ix, int iy, int dx, int dy, unsigned m, float fx, float fy, Point2& pt,
                                 int& id)
{
  unsigned cx = (unsigned(ix) + unsigned(dx)) & m;
  unsigned cy = (unsigned(iy) + unsigned(dy)) & m;
  int h = noise_perm[noise_perm[cy & 255] + (cx & 255)];
  pt.x = noise_random_table[2 * h] + float(dx) - fx;
  pt.z = noise_random_table[2 * h + 1] + float(dy) - fy;
  id = int(cy * 65536u + cx);
}

void tiled_voronoi_noise2_all9(float x, float y, int tile_log2, Point2* points, int* ids)
{
  unsigned m = voronoi_mask(tile_log2);
  int ix = fast_floor(x), iy = fast_floor(y);
  float fx = x - float(ix), fy = y - float(iy);
  int k = 0;
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++, k++) {
      Point2 pt;
      int id;
      voronoi_point(ix, iy, dx, dy, m, fx, fy, pt, id);
      if (points) points[k] = pt;
      if (ids) ids[k] = id;
    }
}

void tiled_voronoi_noise2_near4(float x, float y, int tile_log2, float* dist, int* ids, Point2* points)
{
  unsigned m = voronoi_mask(tile_log2);
  int ix = fast_floor(x), iy = fast_floor(y);
  float fx = x - float(ix), fy = y - float(iy);

  float best_d[4] = {FLT_MAX, FLT_MAX, FLT_MAX, FLT_MAX};
  int best_id[4] = {0, 0, 0, 0};
  Point2 best_pt[4] = {};
  for (int dy = -1; dy <= 1; dy++)
    for (int dx = -1; dx <= 1; dx++) {
      Point2 pt;
      int id;
      voronoi_point(ix, iy, dx, dy, m, fx, fy, pt, id);
      float d = pt.x * pt.x + pt.z * pt.z;
      // Strictly nearer only: of equal distances the earlier visit ranks first.
      int slot = 0;
      while (slot < 4 && !(d < best_d[slot])) slot++;
      if (slot == 4) continue;
      for (int s = 3; s > slot; s--) {
        best_d[s] = best_d[s - 1];
        best_id[s] = best_id[s - 1];
        best_pt[s] = best_pt[s - 1];
      }
      best_d[slot] = d;
      best_id[slot] = id;
      best_pt[slot] = pt;
    }
  for (int s = 0; s < 4; s++) {
    if (dist) dist[s] = best_d[s];
    if (ids) ids[s] = best_id[s];
    if (points) points[s] = best_pt[s];
  }
}

// Light and fog of the land, water and lava from the sky registers.
// Register k + 1 holds sky colour k (see the sky module): 1 horizon,
// 2 zenith_add, 3 falloff, 4 sun_light, 5 light_mix (x sky light, y ground
// bounce), 6 glow, 7 glow_shape (x tightness, y spread), 8 fog_tint,
// 9 fog (x density per 1000 units, y fall-off with height, z most cover),
// 10 disc, 11 sky at elevation 0.2, 12 sky at the zenith. Register 0 is
// (sun direction toward the sun, sun constant).
// The pixel stage reads them as ps_c[0..12], the vertex stage as
// vs_c[30..42]; `sky` below is the base of whichever the caller passes.

// Sun, sky from above and light bounced up from the ground on a surface of
// normal n; `shadow` scales the sun alone.
vec3 land_light(vec3 n, vec3 sun_dir, vec4 sun_light, vec4 light_mix, vec4 zenith_sky, float shadow)
{
  float ndl = max(dot(n, sun_dir), 0.0);
  vec3 sky_light = zenith_sky.rgb * (light_mix.x * (0.5 + 0.5 * n.y));
  vec3 bounce = sun_light.rgb * (light_mix.y * max(sun_dir.y, 0.0) * (0.5 - 0.5 * n.y));
  return sun_light.rgb * (ndl * shadow) + sky_light + bounce;
}

// Share of the fog in front of a point seen from `eye` (0 none .. fog.z):
// exponential fog thinning with height, per colour channel.
vec3 sky_fog_amount(vec3 eye, vec3 point, vec4 fog, vec4 fog_tint)
{
  vec3 d = point - eye;
  float dist = length(d);
  float k = max(fog.y, 0.0);
  // Density integrated along the ray through fog that falls off as
  // exp(-k * height): the mean of exp(-k y) between the two heights.
  float y0 = max(eye.y, 0.0), y1 = max(point.y, 0.0);
  float dy = y1 - y0;
  float mean = abs(k * dy) > 1e-4 ? (exp(-k * y0) - exp(-k * y1)) / (k * dy) : exp(-k * y0);
  vec3 depth = fog_tint.rgb * (fog.x * 0.001 * dist * mean);
  return min(vec3(1.0) - exp(-depth), vec3(fog.z));
}

// How much of the glow the fog shows looking along `dir`: the haze round
// the sun and the part spread evenly.
float sky_fog_haze(vec3 dir, vec3 sun_dir, vec4 glow_shape)
{
  float c = max(dot(normalize(dir), sun_dir), 0.0);
  return pow(c, max(glow_shape.x, 1.0)) + glow_shape.y;
}

// Colour of the fog looking along `dir`: the horizon colour with the haze
// round the sun.
vec3 sky_fog_color(vec3 dir, vec3 sun_dir, vec4 horizon, vec4 glow, vec4 glow_shape)
{
  return horizon.rgb + glow.rgb * sky_fog_haze(dir, sun_dir, glow_shape);
}

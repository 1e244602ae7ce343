// The sky behind the world: one quad 10 units in front of the camera, drawn
// where nothing else was. Every pixel looks along its own view direction.
//
// Constants (see worldrender/sky.h for what each sky colour means):
//   vs_c[0..3]  view-projection (rows), vs_c[7] camera position
//   ps_c[0]     (direction toward the sun, sun constant); zero when there is no sun
//   ps_c[1..12] the sky colours 0..9 and the two derived colours

VARYING vec3 view_dir;

#ifdef VSH
in vec4 POSITION0;

void vsh()
{
  vec3 p = POSITION0.xyz;
  gl_Position = p.x * vs_c[0] + p.y * vs_c[1] + p.z * vs_c[2] + vs_c[3];
  view_dir = p - vs_c[7].xyz;
}
#endif

#ifdef PSH
float star_hash(vec3 p)
{
  p = fract(p * 0.1031);
  p += dot(p, p.zyx + 31.32);
  return fract((p.x + p.y) * p.z);
}

// Fixed points of light on the sphere of directions: one candidate per cell
// of a grid round the viewer, lit for a few cells only, fading to the horizon.
float stars(vec3 d)
{
  vec3 q = d * 220.0;
  vec3 cell = floor(q);
  float h = star_hash(cell);
  if (h < 0.9965) return 0.0;
  vec3 centre = cell + 0.5 + 0.4 * (vec3(star_hash(cell + 17.0), star_hash(cell + 43.0), star_hash(cell + 71.0)) - 0.5);
  float core = 1.0 - smoothstep(0.0, 0.45, length(q - centre));
  float magnitude = 0.25 + 0.75 * fract(h * 613.0);
  return core * core * magnitude * smoothstep(0.0, 0.25, d.y);
}

void psh()
{
  vec3 d = normalize(view_dir);
  vec3 sun = ps_c[0].xyz;

  vec3 horizon = ps_c[1].rgb;
  vec3 zenith_add = ps_c[2].rgb;
  vec3 falloff = ps_c[3].rgb;
  vec3 sun_light = ps_c[4].rgb;
  vec3 glow = ps_c[6].rgb;
  vec4 glow_shape = ps_c[7];
  vec4 disc = ps_c[10];

  // The gradient from the horizon up; below the horizon the sky keeps the
  // horizon colour, which is also the colour distant land fades into.
  float h = max(d.y, 0.001);
  vec3 col = horizon + zenith_add * exp(min(-falloff / h, vec3(10.0)));

  // Haze round the sun, part of it spread evenly over the sky.
  float cos_sun = dot(d, sun);
  float spread = clamp(glow_shape.y, 0.0, 1.0);
  float halo = pow(max(cos_sun, 0.0), max(glow_shape.x, 0.001));
  col += glow * (spread + (1.0 - spread) * halo);

  // The sun's disc, cut by the horizon.
  if (disc.y > 0.0 && disc.x > 0.0) {
    float angle = acos(clamp(cos_sun, -1.0, 1.0));
    float inside = 1.0 - smoothstep(disc.y * 0.75, disc.y, angle);
    col += sun_light * (disc.x * inside * smoothstep(-0.005, 0.005, d.y));
  }

  if (disc.z > 0.0) col += vec3(disc.z * stars(d));

  out_color0 = vec4(col, 1.0);
}
#endif

// MLAA row pass: runs of horizontal edges (edge texture channel r) along
// each row; (before, after) = (pixels to the left, pixels to the right) in
// r and g. See mlaa_runs.glsl.

#define EDGE r
#include "mlaa_runs.glsl"

#ifdef PSH
void psh()
{
  vec2 n = run_counts() / 255.0;
  out_color0 = vec4(n, 0.0, 0.0);
}
#endif

// MLAA column pass: runs of vertical edges (edge texture channel g) along
// each column; (before, after) = (pixels above, pixels below). The passes
// keep them in r and g; with FINAL they go to b and a, beside the row
// result that the target's r and g already hold (only b and a are written).
// See mlaa_runs.glsl.

#define EDGE g
#include "mlaa_runs.glsl"

#ifdef PSH
void psh()
{
  vec2 n = run_counts() / 255.0;
#ifdef FINAL
  out_color0 = vec4(0.0, 0.0, n);
#else
  out_color0 = vec4(n, 0.0, 0.0);
#endif
}
#endif

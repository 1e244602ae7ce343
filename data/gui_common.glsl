// Screen pixels (y down, pixel centres on whole coordinates) to clip space
// for the GUI's vertex shaders.

// The point moved up and left by 1/64 pixel for rasterising only: an edge
// through a pixel centre then takes the pixel on its left or top side and
// leaves it on its right or bottom side, whatever the driver's tie rule.
// Values interpolated from it reach the pixel centres as whole coordinates.
vec2 gui_raster_pos(vec2 p) { return p - vec2(1.0 / 64.0); }

// draw_pixel_offset is (1 / width, -1 / height) of the viewport.
vec4 gui_clip_pos(vec2 r)
{
  return vec4(r.x * 2.0 * draw_pixel_offset.x - 1.0, 1.0 + r.y * 2.0 * draw_pixel_offset.y, 0.0, 1.0);
}

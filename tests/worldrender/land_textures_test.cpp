// The land renderer's GPU textures and per-frame meshes: uploads read back
// exactly, normals match the CPU's formula, the ping-pong blend, a resize,
// the camera window and the house tiles.
#include <cmath>
#include <vector>

#include "land_test_fixture.h"
#include "engine/gl.h"
#include "engine/passRecorder.h"
#include "worldrender/fluidSurface.h"
#include "worldrender/hmRenderInternal.h"
#include "worldrender/scenePasses.h"

using namespace HeightmapData;
using namespace HeightmapRenderer;

namespace
{

// A small fixed world: rolling heights, a pond and a lava pool, colours that
// differ in every channel from cell to cell.
void make_fixed_grid()
{
  for (int z = 0; z < HMAP_SIZE; ++z) {
    for (int x = 0; x < HMAP_SIZE; ++x) {
      const int i = cell_index(x, z);
      hmap[i] = 3.f * std::sin(x * 0.11f) + 2.f * std::cos(z * 0.07f) + 0.01f * float((x * 7 + z * 3) % 13);
      surface[i].color = 0xFF000000u | uint32_t(x) << 16 | uint32_t(z) << 8 | uint32_t((x + z) & 255);
      surface[i].topColor = uint32_t((x * 3) & 255) << 24 | uint32_t(z) << 16 | uint32_t(x ^ z) << 8 | 7u;
      water[z][x].amount = 0.f;
    }
  }
  for (int z = 40; z < 48; ++z)
    for (int x = 60; x < 70; ++x) water[z][x].amount = 0.25f + 0.01f * float(x - 60);
  for (int z = 200; z < 203; ++z)
    for (int x = 250; x < 256; ++x) water[z][x].amount = -0.75f;
}

// The surface height the height texture holds for a cell.
float cpu_height(int x, int z) { return hmap[cell_index(x, z)] + std::fabs(water[z & 255][x & 255].amount); }

// Linear sample of the height grid at cell coordinates (wrapping), as the
// normal pass samples the height texture.
float cpu_height_at(float x, float z)
{
  const float fx = std::floor(x), fz = std::floor(z);
  const int ix = int(fx), iz = int(fz);
  const float tx = x - fx, tz = z - fz;
  const float a = lerp(cpu_height(ix, iz), cpu_height(ix + 1, iz), tx);
  const float b = lerp(cpu_height(ix, iz + 1), cpu_height(ix + 1, iz + 1), tx);
  return lerp(a, b, tz);
}

// Low-quality normal of texel (i, j) of the 1024 normal texture.
uint32_t cpu_normal_texel(int i, int j)
{
  const float x = float(i) / 4.f, z = float(j) / 4.f;
  const float nx = cpu_height_at(x - 1.f, z) - cpu_height_at(x + 1.f, z);
  const float nz = cpu_height_at(x, z - 1.f) - cpu_height_at(x, z + 1.f);
  const float len = std::sqrt(nx * nx + 4.f + nz * nz);
  auto byte = [](float v) { return uint32_t(std::lrint(std::fmin(std::fmax(v * 0.5f + 0.5f, 0.f), 1.f) * 255.f)); };
  return 0xFF000000u | byte(nx / len) << 16 | byte(2.f / len) << 8 | byte(nz / len);
}

}  // namespace

using LandTexturesTest = LandRenderFixture<0>;

TEST_F(LandTexturesTest, UploadedHeightsAndColoursReadBackExactly)
{
  make_fixed_grid();
  refresh();
  EXPECT_FALSE(land_textures_invalid());

  const std::vector<uint32_t> h = read_texture(hmapTex);
  const std::vector<uint32_t> c = read_texture(colrTex);
  const std::vector<uint32_t> t = read_texture(topcTex);
  ASSERT_EQ(h.size(), size_t(HMAP_CELLS));
  int bad_h = 0, bad_c = 0, bad_t = 0;
  for (int i = 0; i < HMAP_CELLS; ++i) {
    // Texture row z holds grid row z.
    const int x = cell_x(i), z = cell_z(i);
    if (h[i] != float_to_bits(cpu_height(x, z))) ++bad_h;
    if (c[i] != surface[i].color) ++bad_c;
    if (t[i] != surface[i].topColor) ++bad_t;
  }
  EXPECT_EQ(bad_h, 0) << "height texels differing from hmap + |fluid|";
  EXPECT_EQ(bad_c, 0) << "colour texels differing from Surface::color";
  EXPECT_EQ(bad_t, 0) << "top colour texels differing from Surface::topColor";
}

TEST_F(LandTexturesTest, NormalsFollowTheHeightsAtFourTexelsPerCell)
{
  make_fixed_grid();
  refresh();
  const std::vector<uint32_t> n = read_texture(current_land_normals());
  ASSERT_EQ(n.size(), size_t(NORMAL_SIZE * NORMAL_SIZE));
  int worst = 0, exact = 0;
  for (int j = 0; j < NORMAL_SIZE; ++j) {
    for (int i = 0; i < NORMAL_SIZE; ++i) {
      const int d = color_distance(n[size_t(j) * NORMAL_SIZE + i], cpu_normal_texel(i, j));
      worst = std::max(worst, d);
      exact += d == 0;
    }
  }
  // GPU and CPU round the last bit of a filtered sample differently now and
  // then; a byte may then land one step away.
  EXPECT_LE(worst, 1);
  EXPECT_GT(exact, NORMAL_SIZE * NORMAL_SIZE * 99 / 100);
}

TEST_F(LandTexturesTest, DisplayedNormalsBlendThePairByTheFrameFraction)
{
  make_fixed_grid();
  refresh();
  const std::vector<uint32_t> first = read_texture(current_land_normals());
  for (int i = 0; i < HMAP_CELLS; ++i) hmap[i] = -hmap[i] * 0.5f;
  refresh(0.f);  // second refresh: previous = first result, current = the new one
  const std::vector<uint32_t> second = read_texture(current_land_normals());
  EXPECT_EQ(read_texture(normTex), first) << "f = 0 shows the previous result";
  update_land_render(0.05f);
  EXPECT_EQ(read_texture(normTex), second) << "f = 1 shows the latest result";
  update_land_render(0.025f);
  const std::vector<uint32_t> half = read_texture(normTex);
  int worst = 0;
  for (size_t i = 0; i < half.size(); i += 97) {
    uint32_t mid = 0;
    for (int s = 0; s < 32; s += 8) mid |= uint32_t((channel(first[i], s) + channel(second[i], s) + 1) / 2) << s;
    worst = std::max(worst, color_distance(half[i], mid));
  }
  EXPECT_LE(worst, 1);
}

TEST_F(LandTexturesTest, TexturesAreRebuiltAfterAResize)
{
  make_fixed_grid();
  refresh();
  const std::vector<uint32_t> colours = read_texture(colrTex);
  const std::vector<uint32_t> normals = read_texture(current_land_normals());
  const std::vector<uint32_t> map = read_texture(mapTex);
  ASSERT_TRUE(resize_d3d(80, 40, false, true));
  refresh(0.05f);  // the shell invalidates after a device reset
  EXPECT_EQ(read_texture(hmapTex)[cell_index(65, 42)], float_to_bits(cpu_height(65, 42)));
  EXPECT_EQ(read_texture(colrTex), colours);
  EXPECT_EQ(read_texture(current_land_normals()), normals);
  EXPECT_EQ(read_texture(normTex), normals);
  EXPECT_EQ(read_texture(mapTex), map);
}

TEST_F(LandTexturesTest, RefreshRebuildsOnlyWhatTheWorldChanged)
{
  auto quads_of_refresh = [](float t) {
    start_pass_recording();
    invalidate_land_textures();
    update_land_render(t);
    stop_pass_recording();
    int n = 0;
    for (const std::string& m : recorded_passes()) n += m == PASS_FULLSCREEN_QUAD;
    return n;
  };
  make_fixed_grid();
  refresh(0.05f);
  refresh(0.05f);
  update_land_render(0.05f);
  const std::vector<uint32_t> map = read_texture(mapTex);
  EXPECT_EQ(quads_of_refresh(0.02f), 0) << "nothing changed: no pass";
  EXPECT_EQ(read_texture(mapTex), map);

  hmap[cell_index(30, 30)] += 2.f;  // normals, the map and the blend follow
  EXPECT_EQ(quads_of_refresh(0.02f), 4);
  EXPECT_TRUE(glIsEnabled(GL_CULL_FACE)) << "the scene after the passes culls as every frame does";
  EXPECT_EQ(read_texture(hmapTex)[cell_index(30, 30)], float_to_bits(cpu_height(30, 30)));
  EXPECT_LE(color_distance(read_texture(current_land_normals())[4 * 31 * NORMAL_SIZE + 4 * 30], cpu_normal_texel(120, 124)), 1);
  EXPECT_EQ(quads_of_refresh(0.02f), 1) << "unchanged again: the blend shows the latest normals";
  water[9][9].foam = 0.5f;  // the map alone
  EXPECT_EQ(quads_of_refresh(0.02f), 2);

  ASSERT_TRUE(resize_d3d(64, 48, false, true));  // a device reset empties render textures
  EXPECT_EQ(quads_of_refresh(0.05f), 4) << "everything again";
  EXPECT_EQ(read_texture(hmapTex)[cell_index(65, 42)], float_to_bits(cpu_height(65, 42)));
  EXPECT_EQ(read_texture(normTex), read_texture(current_land_normals()));
}

TEST_F(LandTexturesTest, RegionPassesRewriteExactlyTheirRegion)
{
  struct Region
  {
    int x0, z0, nx, nz;
  } regions[] = {
      {16, 32, 8, 8},     // inside
      {0, 0, 3, 2},       // at the first row and column
      {200, 250, 56, 6},  // reaching the last row and column
  };
  for (const Region& r : regions) {
    make_fixed_grid();
    refresh();
    refresh();  // both members of the normal pair now hold this grid's normals
    const std::vector<uint32_t> heights_before = read_texture(hmapTex);
    const std::vector<uint32_t> normals_before = read_texture(current_land_normals());
    for (int i = 0; i < HMAP_CELLS; ++i) hmap[i] += 1.f + 0.3f * float(cell_x(i)) + 0.2f * float(cell_z(i));
    upload_land_heights(r.x0, r.z0, r.nx, r.nz);
    const std::vector<uint32_t> heights = read_texture(hmapTex);
    int wrong = 0;
    for (int i = 0; i < HMAP_CELLS; ++i) {
      const int x = cell_x(i), z = cell_z(i);
      const bool inside = x >= r.x0 && x < r.x0 + r.nx && z >= r.z0 && z < r.z0 + r.nz;
      wrong += heights[i] != (inside ? float_to_bits(cpu_height(x, z)) : heights_before[i]);
    }
    EXPECT_EQ(wrong, 0) << "height region " << r.x0 << "," << r.z0;
    // The normal pass writes into the other member of the pair, which held
    // the same result: texels outside the region keep it.
    calc_land_normals(r.x0, r.z0, r.nx, r.nz);
    const std::vector<uint32_t> normals = read_texture(current_land_normals());
    int outside_changed = 0, inside_wrong = 0;
    for (int j = 0; j < NORMAL_SIZE; ++j) {
      for (int i = 0; i < NORMAL_SIZE; ++i) {
        const size_t k = size_t(j) * NORMAL_SIZE + i;
        const bool inside = i >= 4 * r.x0 && i < 4 * (r.x0 + r.nx) && j >= 4 * r.z0 && j < 4 * (r.z0 + r.nz);
        if (!inside) outside_changed += normals[k] != normals_before[k];
        // Inside, the new slope shows everywhere.
        else inside_wrong += normals[k] == normals_before[k];
      }
    }
    EXPECT_EQ(outside_changed, 0) << "normal region " << r.x0 << "," << r.z0;
    EXPECT_EQ(inside_wrong, 0) << "normal region " << r.x0 << "," << r.z0;
  }
}

TEST_F(LandTexturesTest, RegionPassesRejectRegionsOutsideTheGrid)
{
  EXPECT_EXIT(upload_land_heights(0, 0, 0, 4), testing::ExitedWithCode(100), "hmRender\\([0-9]+\\): failed ASSERT\\(nx>0 && nz>0\\)");
  EXPECT_EXIT(calc_land_normals(250, 0, 8, 8), testing::ExitedWithCode(100),
              "failed ASSERT\\(x0>=0 && z0>=0 && x0\\+nx<=HMAP_SIZE && z0\\+nz<=HMAP_SIZE\\)");
  EXPECT_EXIT(upload_land_colors(-1, 0, 4, 4), testing::ExitedWithCode(100), "x0>=0");
}

// ---- the per-frame meshes ----

TEST_F(LandTexturesTest, WindowIsCentredOnTheCameraCellInUnwrappedCoordinates)
{
  struct Case
  {
    float cam_x, cam_z;
    int cell_x, cell_z;
  } cases[] = {
      {0.4f, 0.f, 0, 0},        // x = 0.4 rounds to cell 0; the window runs from -128
      {0.5f, -0.5f, 1, 0},      // halves round up
      {255.6f, 300.2f, 256, 300},
      {-7.6f, 3.49f, -8, 3},
  };
  for (const Case& c : cases) {
    land_doubles::camera_pos = make4f(c.cam_x, 0.f, c.cam_z, 1.f);
    update_land_render(0.f);
    EXPECT_EQ(land_render_stats.camera_cell_x, c.cell_x) << c.cam_x;
    EXPECT_EQ(land_render_stats.camera_cell_z, c.cell_z) << c.cam_z;
  }
}

TEST_F(LandTexturesTest, HouseTilesGoToTheBuildingDrawOncePerFrameAndNeverToTheLand)
{
  auto make_house = [](int x, int z) { surface[cell_index(x, z)].bits &= ~uint32_t(SURF_GROUND_MASK); };
  land_doubles::camera_pos = make4f(0.4f, 0.f, 0.f, 1.f);
  update_land_render(0.f);
  const int patches = land_render_stats.patches, quads = land_render_stats.land_quads;
  EXPECT_EQ(patches, MAX_PATCHES);
  EXPECT_TRUE(land_doubles::building_calls.empty());

  make_house(2, 3);      // inside the patch square
  make_house(250, 10);   // left of the seam: reported at x = -6
  make_house(60, 0);     // in the land disk, outside the patch square
  make_house(0, 128);    // 128 cells away on the window's first row: z = -128
  make_house(100, 100);  // a corner of the window, beyond the disk
  land_doubles::building_calls.clear();
  update_land_render(0.f);

  struct Want
  {
    int x, z;
  } want[] = {{2, 3}, {-6, 10}, {60, 0}, {0, -128}};
  ASSERT_EQ(land_doubles::building_calls.size(), 4u);
  for (const Want& w : want) {
    int n = 0;
    for (const auto& call : land_doubles::building_calls) {
      if (call.x == w.x && call.z == w.z) {
        ++n;
        EXPECT_EQ(call.surface, &surface[cell_index(w.x, w.z)]);
      }
    }
    EXPECT_EQ(n, 1) << w.x << "," << w.z;
  }
  EXPECT_EQ(land_render_stats.patches, patches - 2);
  EXPECT_EQ(land_render_stats.land_quads, quads - 2);
  EXPECT_EQ(land_render_stats.buildings, 4);
}

TEST_F(LandTexturesTest, LandDiskAndFluidMeshesHaveTheirSizes)
{
  land_doubles::camera_pos = make4f(100.f, 0.f, 100.f, 1.f);
  update_land_render(0.f);
  // Quads within 130 of the camera, less the 64 x 64 patch square.
  int disk = 0;
  for (int r = 0; r < 255; ++r)
    for (int c = 0; c < 255; ++c) disk += (2 * c - 255) * (2 * c - 255) + (2 * r - 255) * (2 * r - 255) <= 67600;
  EXPECT_EQ(land_render_stats.land_quads, disk - MAX_PATCHES);
  EXPECT_EQ(land_render_stats.water_quads, 0);
  EXPECT_EQ(land_render_stats.lava_quads, 0);
  EXPECT_EQ(land_render_stats.horizon_quads, 0) << "no horizon at low quality";
}

TEST_F(LandTexturesTest, ViewCullingDropsOnlyWhatTheCameraCannotSee)
{
  make_fixed_grid();
  // A camera at (100, 12, 100) looking along +z and a little down, with the
  // scene's projection at zoom 1 on the 64 x 48 screen.
  const float pitch = -0.3f;
  Matrix44 cam;
  cam.row[0] = make4f(1.f, 0.f, 0.f, 0.f);
  cam.row[1] = make4f(0.f, std::cos(pitch), -std::sin(pitch), 0.f);
  cam.row[2] = make4f(0.f, std::sin(pitch), std::cos(pitch), 0.f);
  cam.row[3] = make4f(100.f, 12.f, 100.f, 1.f);
  Matrix44 view;  // the inverse of the rigid camera matrix
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) view.m[i][j] = cam.m[j][i];
  for (int j = 0; j < 3; ++j)
    view.m[3][j] = -(cam.m[3][0] * cam.m[j][0] + cam.m[3][1] * cam.m[j][1] + cam.m[3][2] * cam.m[j][2]);
  view.m[0][3] = view.m[1][3] = view.m[2][3] = 0.f;
  view.m[3][3] = 1.f;
  const float ys = 1.f / std::tan(0.5f * 1.2915436f), xs = ys / (64.f / 48.f);
  Matrix44 proj;
  proj.row[0] = make4f(xs, 0.f, 0.f, 0.f);
  proj.row[1] = make4f(0.f, ys, 0.f, 0.f);
  proj.row[2] = make4f(0.f, 0.f, 1.00019538f, 1.f);
  proj.row[3] = make4f(0.f, 0.f, -0.100019537f, 0.f);
  const Matrix44 glob = view * proj;

  Texture target = create_screen_render_texture();
  std::vector<uint32_t> img[2];
  int quads[2], patches[2];
  for (int culled = 0; culled < 2; ++culled) {
    cur_view_itm = cam;
    land_cull_to_view = culled != 0;
    refresh(0.05f);
    quads[culled] = land_render_stats.land_quads;
    patches[culled] = land_render_stats.patches;
    set_render_target(target, 0, true);
    clear_view(0xFF000000u);
    set_zenable(true);
    set_zwrite(true);
    set_vs_constants(0, glob.m[0], 4);
    set_vs_constants(4, cam.m[0], 4);
    const float no_fog[4] = {0.f, 0.f, 0.f, 0.f};
    set_vs_constants(8, no_fog, 1);
    render_land(0.f);
    img[culled] = read_texture(target);
  }
  release_texture(target);
  int differ = 0, black = 0, first = -1;
  for (size_t i = 0; i < img[0].size(); ++i) {
    if (img[0][i] != img[1][i] && first < 0) first = int(i);
    differ += img[0][i] != img[1][i];
    black += img[0][i] == 0xFF000000u;
  }
  EXPECT_EQ(differ, 0) << "the same picture; first differing pixel " << first % 64 << "," << first / 64;
  EXPECT_LT(black, 64 * 48 / 2) << "the view shows land";

  EXPECT_LT(quads[1], quads[0] / 2);
  EXPECT_LT(patches[1], patches[0] / 2);
  EXPECT_GT(patches[1], 0);
}

namespace
{

// A camera at `pos` turned `yaw` radians from +z toward +x and pitched down.
Matrix44 yaw_camera(vec4f pos, float yaw, float pitch)
{
  Matrix44 cam;
  const float cy = std::cos(yaw), sy = std::sin(yaw), cp = std::cos(pitch), sp = std::sin(pitch);
  cam.row[2] = make4f(sy * cp, sp, cy * cp, 0.f);
  cam.row[0] = make4f(cy, 0.f, -sy, 0.f);
  cam.row[1] = make4f(-sy * sp, cp, -cy * sp, 0.f);
  cam.row[3] = pos;
  return cam;
}

template <typename T>
std::vector<T> read_buffer(const BufferSlot* b)
{
  std::vector<T> out(b->size / sizeof(T));
  glBindBuffer(GL_COPY_READ_BUFFER, b->buffer);
  glGetBufferSubData(GL_COPY_READ_BUFFER, 0, GLsizeiptr(out.size() * sizeof(T)), out.data());
  glBindBuffer(GL_COPY_READ_BUFFER, 0);
  return out;
}

// The window position (c, r) a land or fluid vertex slot holds.
void window_position(int slot, int* c, int* r)
{
  *r = slot >> 8;
  *c = ((slot & 255) - ((*r & 1) << 7)) & 255;
}

}  // namespace

// The frame shortcuts write only the vertices that the quads of visible
// blocks use: every vertex a drawn quad names must hold this frame's values,
// whichever way the camera looks and wherever the visible blocks end.
TEST_F(LandTexturesTest, DrawnQuadsUseOnlyVerticesWrittenThisFrame)
{
  make_fixed_grid();
  land_cull_to_view = true;
  struct Case
  {
    float x, y, z, yaw, pitch;
  } cases[] = {
      {64.f, 12.f, 44.f, 0.f, -0.3f},       // over the pond, looking along +z
      {250.f, 10.f, 190.f, 2.4f, -0.2f},    // at the lava across the wrap seam
      {0.4f, 30.f, 100.f, -1.2f, -0.6f},    // just past the seam, looking back over it
      {128.f, 60.f, 128.f, 0.7f, -1.5f},    // nearly straight down
  };
  Texture target = create_screen_render_texture();
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "camera at " << k.x << ", " << k.z << " yaw " << k.yaw);
    cur_view_itm = yaw_camera(make4f(k.x, k.y, k.z, 1.f), k.yaw, k.pitch);
    refresh(0.025f);
    ASSERT_LT(land_render_stats.visible_blocks, 32 * 32) << "the view leaves some blocks out";
    // Fluid vertices are written by the first fluid draw.
    set_render_target(target, 0, true);
    render_lava(0.5f);
    render_water(0.5f);
    const LandRenderState& s = land_rs;
    const int ox = s.camX - 128, oz = s.camZ - 128;
    const std::vector<LandVertex> land = read_buffer<LandVertex>(s.landVB);
    const std::vector<FluidVertexLQ> wet[2] = {read_buffer<FluidVertexLQ>(s.waterVB),
                                               read_buffer<FluidVertexLQ>(s.lavaVB)};
    const std::vector<uint16_t> land_ib = read_buffer<uint16_t>(s.landIB);
    const std::vector<uint16_t> fluid_ib[2] = {read_buffer<uint16_t>(s.waterIB), read_buffer<uint16_t>(s.lavaIB)};
    int wrong = 0;
    for (int i = 0; i < 6 * s.landQuads; ++i) {
      int c, r;
      window_position(land_ib[i], &c, &r);
      const LandVertex& v = land[land_ib[i]];
      wrong += v.x != ox + c || v.z != oz + r || v.h != curh[cell_index((ox + c) & 255, (oz + r) & 255)];
    }
    EXPECT_EQ(wrong, 0) << "land vertices";
    const int quads[2] = {s.waterQuads, s.lavaQuads};
    for (int f = 0; f < 2; ++f) {
      wrong = 0;
      for (int i = 0; i < 6 * quads[f]; ++i) {
        int c, r;
        window_position(fluid_ib[f][i], &c, &r);
        const FluidVertexLQ& v = wet[f][fluid_ib[f][i]];
        const FluidSurfaceCell& fs = display_fluid_surface[cell_index((ox + c) & 255, (oz + r) & 255)];
        wrong += v.x != ox + c || v.z != oz + r || v.surface != (f ? fs.lava : fs.water);
      }
      EXPECT_EQ(wrong, 0) << (f ? "lava vertices" : "water vertices");
    }
  }
  EXPECT_GT(land_rs.landQuads, 0);
  release_texture(target);
}

// ---- high quality: aperture, horizon and the G-buffer ----

using LandTexturesHighTest = LandRenderFixture<1>;

TEST_F(LandTexturesHighTest, ApertureIsOpenOnFlatGroundAndClosesInAPit)
{
  refresh();
  std::vector<uint32_t> aper = read_texture(current_land_aperture());
  ASSERT_EQ(aper.size(), size_t(HMAP_CELLS));
  int off = 0;
  for (uint32_t c : aper) off += color_distance(c, 0xFF80FF80u) > 1;
  EXPECT_EQ(off, 0) << "flat ground: axis straight up, all of the sky open";

  // A pit 20 deep at (100, 60); a cell beside a cliff rising along +x.
  hmap[cell_index(100, 60)] = -20.f;
  for (int z = 0; z < HMAP_SIZE; ++z)
    for (int x = 180; x < 200; ++x) hmap[cell_index(x, z)] = 30.f;
  refresh(0.05f);
  aper = read_texture(current_land_aperture());
  EXPECT_LT(channel(aper[cell_index(100, 60)], 24), 100) << "little sky seen from the pit";
  const uint32_t beside = aper[cell_index(178, 60)];
  EXPECT_LT(channel(beside, 24), 250);
  EXPECT_LT(channel(beside, 16), 120) << std::hex << beside << ": the open cone leans away from the cliff (-x)";
  EXPECT_EQ(read_texture(aperTex), aper) << "f = 1 shows the latest aperture";
}

TEST_F(LandTexturesHighTest, HorizonRingSurroundsTheLandDisk)
{
  update_land_render(0.f);
  int ring = 0;
  for (int r = 0; r < 191; ++r)
    for (int c = 0; c < 191; ++c) ring += (2 * c - 191) * (2 * c - 191) + (2 * r - 191) * (2 * r - 191) >= 3844;
  EXPECT_EQ(land_render_stats.horizon_quads, ring);
}

TEST_F(LandTexturesHighTest, LandFillsTheGBuffer)
{
  for (int i = 0; i < HMAP_CELLS; ++i) surface[i].color = 0xFF4080C0u;
  land_doubles::camera_pos = make4f(105.f, 20.f, 54.f, 1.f);
  refresh();
  Texture g[3] = {create_screen_render_texture(), create_screen_render_texture(), create_screen_render_texture()};
  set_render_target(g[0], 0, true);
  clear_view(0x00FFFFFFu);
  set_render_target(g[1], 1, false);
  set_render_target(g[2], 2, false);
  set_zenable(true);
  set_zwrite(true);
  // Top-down over cells 98..114 x 48..60, depth = 0.25 for ground at 0.
  Matrix44 m;
  m.row[0] = make4f(2.f / 16.f, 0.f, 0.f, 0.f);
  m.row[1] = make4f(0.f, 0.f, -0.001f, 0.f);
  m.row[2] = make4f(0.f, 2.f / 12.f, 0.f, 0.f);
  m.row[3] = make4f(-1.f - 98.f * 2.f / 16.f, -1.f - 48.f * 2.f / 12.f, 0.5f, 1.f);
  set_vs_constants(0, m.m[0], 4);
  const float cam[4] = {105.f, 20.f, 54.f, 1.f}, view_depth[4] = {0.f, 0.f, 0.f, 0.25f};
  set_vs_constants(7, cam, 1);
  set_vs_constants(9, view_depth, 1);
  render_land(0.f);
  set_render_target(nullptr, 1, false);
  set_render_target(nullptr, 2, false);
  std::vector<uint32_t> img[3];
  for (int i = 0; i < 3; ++i) {
    img[i] = read_texture(g[i]);
    release_texture(g[i]);
  }
  const size_t px = 20 * 64 + 30;
  // Albedo = colour * (0.6 + 0.8 * grey detail), nothing emitted.
  EXPECT_LE(color_distance(img[0][px], 0x004080C0u), 1) << std::hex << img[0][px];
  // 0.25 of the far plane in 16 bits: 0x3FFF or 0x4000.
  const int depth = channel(img[1][px], 16) * 256 + channel(img[1][px], 8);
  EXPECT_NEAR(depth, 16384, 1);
  // Normal straight up; the open sky of flat ground.
  EXPECT_LE(color_distance(img[2][px], 0xFF80FF80u), 1) << std::hex << img[2][px];
}

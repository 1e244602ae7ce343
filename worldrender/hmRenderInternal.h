// State shared by the land renderer's source files (hmRender.cpp: resources,
// texture passes and the frame update; hmRenderMesh.cpp: the per-frame meshes
// and the draws) and the world map (hmMapRender.cpp). Not for other modules.
#pragma once

#include <cstdint>

#include "engine/d3d_misc.h"
#include "engine/d3d_shaders.h"
#include "engine/d3d_vbuf.h"
#include "worldrender/hmRender.h"

enum
{
  LAND_WINDOW = 256,        // vertices per side of the land and fluid windows
  LAND_HALF = 128,          // window index of the camera cell
  PATCH_FIRST = 95,         // window rows and columns of the detail patches
  PATCH_LAST = 158,
  PATCH_SIDE = PATCH_LAST - PATCH_FIRST + 1,
  MAX_PATCHES = PATCH_SIDE * PATCH_SIDE,
  PATCH_VERTS = 25,         // 5 x 5 points per patch
  PATCH_TRIS = 32,
  HORIZON_SIDE = 192,       // horizon vertices per side, 4 cells apart
  HORIZON_VERTS = HORIZON_SIDE * HORIZON_SIDE,
  NORMAL_SIZE = 1024,
  LAND_DISK_R2 = 67600,     // (2 * 130)^2: quads within 130 of the camera, in half-quad units
  HORIZON_HOLE_R2 = 3844,   // (2 * 31)^2
  LAND_INDICES = (255 * 255 - 64 * 64) * 6,
  FLUID_INDICES = 255 * 255 * 6,
  HORIZON_INDICES = 191 * 191 * 6,
};

#pragma pack(push, 1)
struct LandVertex  // land grid and horizon
{
  int16_t x, z;
  float h;
};
struct PatchVertex
{
  float u, v;
};
struct PatchInstance
{
  int16_t x, z;
  float h[4];  // (x, z), (x + 1, z), (x, z + 1), (x + 1, z + 1)
};
struct FluidVertexHQ
{
  int16_t x, z;
  float surface;
  float foam[4];
  int16_t t1[2];
};
struct FluidVertexLQ
{
  int16_t x, z;
  float surface;
  float t1;
};
#pragma pack(pop)
static_assert(sizeof(LandVertex) == 8 && sizeof(PatchVertex) == 8 && sizeof(PatchInstance) == 20, "vertex sizes");
static_assert(sizeof(FluidVertexHQ) == 28 && sizeof(FluidVertexLQ) == 12, "fluid vertex sizes");

struct LandRenderState
{
  VertexDecl landDecl, patchDecl, fluidDecl;

  Shader* landShader;
  Shader* patchShader;  // the land shader with INST
  Shader* waterShader;
  Shader* lavaShader;
  Shader* normShader;
  Shader* aperShader[3];
  Shader* interpShader;
  Shader* horizonShader;

  Texture normPair[2];  // [normCur] is the latest result
  int normCur;
  Texture aperPair[2];
  int aperCur;
  Texture detailTex, foamTex, lavaTex;

  VertexBuffer landVB, horizonVB, instVB, patchVB, waterVB, lavaVB;
  IndexBuffer patchIB, landIB, horizonIB, waterIB, lavaIB;
  IndexBuffer horizonViewIB;  // the horizon quads in view, rewritten per frame

  int fluidStride;
  int instances, landQuads, horizonQuads, waterQuads, lavaQuads;
  int camX, camZ;  // camera cell (window origin + 128)
  bool refresh;
  bool ready;
};
extern LandRenderState land_rs;

// Fatal "%s(%d): failed ASSERT(%s)" naming the land renderer's source.
#define LAND_ASSERT(expr) ASSERT_AT("hmRender", __LINE__, expr)

// hmRender.cpp: the camera the world is drawn from (position row of the
// camera matrix) and the pixel-shader constants the land passes read: [0] =
// (sun direction, sun constant), [1..12] = the 12 sky registers.
vec4f land_camera_pos();
Matrix44 current_camera_matrix();
void get_land_sky_constants(vec4f out[13]);

// hmMapRender.cpp: a value that changes whenever one of the map's shaders
// is rebuilt (hot reload), so the map is drawn again.
uint32_t world_map_shader_serials();

// hmRenderMesh.cpp: static meshes at start-up, per-frame meshes, and the
// land-shadow setting brought into range.
void build_static_land_meshes();
void build_frame_land_meshes(float f);
int clamped_land_shadow_quality();

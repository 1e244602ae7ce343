// Mesh files and the mesh cache. A mesh is one static vertex buffer and one
// static 16-bit index buffer, the vertex layout, the names of the shaders for
// the low and the high graphics quality, texture names and a list of spheres
// (four floats each, given meaning by the sphere shadows). The instanced-mesh
// renderer asks for meshes by name; they are shared by absolute path,
// compared without regard to case, and counted by references.
//
// File (little-endian): version 0x12040900, payload size N, N bytes of
// payload: shader, high-quality shader, u8 count of texture names (strings
// shorter than 64 characters), u8 count of spheres (16 bytes each), u8 count
// of vertex elements (6 bytes each), vertex stride, vertex count, triangle
// count (u32 each), the vertex data and 3 u16 indices per triangle. A string
// is a u8 length, the characters and one NUL byte.
//
// Files are untrusted: every count and size is checked against the payload,
// every index against the vertex count and every vertex element against the
// stride; memory grows only as the file's bytes really arrive. All failures
// are InputStream::Exception; load_mesh_file ends the program with them when
// the mesh must exist and logs them otherwise.
// Main thread only.
#pragma once

#include <cstdint>

#include "engine/d3d_misc.h"
#include "engine/d3d_vbuf.h"
#include "engine/dynArray.h"
#include "engine/streams.h"

enum : uint32_t { MESH_FILE_VERSION = 0x12040900u };
enum { MESH_TEXTURE_NAME_SIZE = 64 };

struct MeshTextureName
{
  char name[MESH_TEXTURE_NAME_SIZE];
};

// Four floats, read by the sphere shadows (x, y, z, radius).
struct MeshSphere
{
  float x, y, z, w;
};

struct Mesh
{
  VertexBuffer vb;
  IndexBuffer ib;
  uint32_t stride;     // bytes per vertex
  uint32_t numVerts;
  uint32_t numFaces;   // triangles; 3 indices each
  DynArray<VertexElementDesc> vsd;  // as stored in the file, without an end marker
  DynArray<char> shader;            // low graphics quality, NUL-terminated
  DynArray<char> shaderHq;          // high graphics quality (deferred path)
  DynArray<MeshTextureName> textures;
  DynArray<char> path;              // absolute path, NUL-terminated: the cache key
  DynArray<MeshSphere> spheres;
  int refcount;

  Mesh();
  ~Mesh();  // releases both buffers
  Mesh(const Mesh&) = delete;
  Mesh& operator=(const Mesh&) = delete;
};

extern DynArray<Mesh*> mesh_cache;

// Reads one mesh (refcount 1). Throws InputStream::Exception: the stream's
// own errors for a short file, -1 positions for what the reader rejects
// itself ("Invalid mesh file version", buffer creation and locking, and
// payloads whose contents do not fit).
Mesh* read_mesh(InputStream& stream);
// Opens, reads and records the path. With must_exist a failure is fatal
// ("Error reading mesh file '%s':\n%s (offset %d)"); without, the same text is
// logged and the result is null.
Mesh* load_mesh_file(const char* path, bool must_exist);

// Shared by absolute path; a mesh that does not load is fatal when must_exist
// is set, else the result is null.
Mesh* get_mesh(const char* name, bool must_exist);
void destroy_mesh(Mesh* mesh);  // drops one reference; null is ignored
void free_all_meshes();         // every cached mesh whatever its count

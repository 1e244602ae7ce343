#include "engine/mesh.h"

#include <strings.h>

#include <climits>
#include <cstring>
#include <memory>

#include "engine/debug.h"
#include "engine/paths.h"

DynArray<Mesh*> mesh_cache;

Mesh::Mesh() : vb(nullptr), ib(nullptr), stride(0), numVerts(0), numFaces(0), refcount(1) {}

Mesh::~Mesh()
{
  release_vb(vb);
  release_ib(ib);
}

namespace {

typedef InputStream::Exception MeshError;

// The largest payload read at all: far beyond any real mesh, and small
// enough for the int sizes of the buffers and arrays.
const uint32_t MAX_PAYLOAD = 0x7FF00000u;

// Reads the payload in growing chunks, so a size field larger than the file
// fails with the stream's own error before much memory is taken.
void read_payload(InputStream& stream, uint32_t size, DynArray<uint8_t>& out)
{
  out.clear();
  int chunk = 1 << 16;
  while (uint32_t(out.num) < size) {
    if (uint32_t(out.num) >= MAX_PAYLOAD) throw MeshError("Mesh payload is too large", -1);
    uint32_t left = size - uint32_t(out.num);
    int n = left < uint32_t(chunk) ? int(left) : chunk;
    int at = out.num;
    out.resize(at + n);
    stream.read(out.data + at, n);
    if (chunk < (1 << 26)) chunk *= 2;
  }
}

// Bounds-checked cursor over the payload in memory.
struct PayloadReader
{
  const uint8_t* p;
  size_t left;

  const uint8_t* take(size_t n)
  {
    if (n > left) throw MeshError("Mesh payload is too short", -1);
    const uint8_t* r = p;
    p += n;
    left -= n;
    return r;
  }
  uint8_t u8() { return *take(1); }
  uint32_t u32()
  {
    const uint8_t* b = take(4);
    return uint32_t(b[0]) | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24);
  }
  // A u8 length, the characters and a NUL byte, stored NUL-terminated.
  void string(DynArray<char>& out)
  {
    uint8_t l = u8();
    const uint8_t* s = take(size_t(l) + 1);
    out.clear();
    out.append(l, (const char*)s);
    out.push_back(0);
  }
};

int element_size(int type)
{
  switch (type) {
    case VDECL_FLOAT1: return 4;
    case VDECL_FLOAT2: return 8;
    case VDECL_FLOAT3: return 12;
    case VDECL_FLOAT4: return 16;
    case VDECL_D3DCOLOR: return 4;
    case VDECL_SHORT2: return 4;
    case VDECL_SHORT4: return 8;
    default: return 0;  // unused
  }
}

}  // namespace

Mesh* read_mesh(InputStream& stream)
{
  uint32_t version = stream.readValue<uint32_t>();
  if (version != MESH_FILE_VERSION) throw MeshError("Invalid mesh file version", -1);
  uint32_t payload_size = stream.readValue<uint32_t>();
  DynArray<uint8_t> payload;
  read_payload(stream, payload_size, payload);

  std::unique_ptr<Mesh> m(new Mesh);
  PayloadReader r = {payload.data, size_t(payload.num)};
  r.string(m->shader);
  r.string(m->shaderHq);

  int num_tex = r.u8();
  for (int i = 0; i < num_tex; ++i) {
    uint8_t l = r.u8();
    if (l >= MESH_TEXTURE_NAME_SIZE) throw MeshError("Mesh texture name is too long", -1);
    const uint8_t* s = r.take(size_t(l) + 1);
    MeshTextureName t;
    memcpy(t.name, s, l);
    t.name[l] = 0;
    m->textures.push_back(t);
  }

  int num_spheres = r.u8();
  const uint8_t* sp = r.take(size_t(num_spheres) * 16);
  m->spheres.resize(num_spheres);
  if (num_spheres) memcpy(m->spheres.data, sp, size_t(num_spheres) * 16);

  int num_elems = r.u8();
  const uint8_t* el = r.take(size_t(num_elems) * sizeof(VertexElementDesc));
  m->vsd.resize(num_elems);
  if (num_elems) memcpy(m->vsd.data, el, size_t(num_elems) * sizeof(VertexElementDesc));

  m->stride = r.u32();
  m->numVerts = r.u32();
  m->numFaces = r.u32();

  // The renderer appends its own instance elements and an end marker to
  // these; each must lie inside the vertex on stream 0.
  if (num_elems >= MAX_VDECL_LEN) throw MeshError("Too many mesh vertex elements", -1);
  for (const VertexElementDesc& e : m->vsd) {
    if (e.stream != 0 || uint32_t(e.offset) + uint32_t(element_size(e.type)) > m->stride)
      throw MeshError("Invalid mesh vertex element", -1);
  }

  uint64_t vb_bytes = uint64_t(m->stride) * m->numVerts;
  uint64_t ib_count = uint64_t(m->numFaces) * 3;
  if (vb_bytes > r.left) throw MeshError("Mesh payload is too short", -1);
  const uint8_t* verts = r.take(size_t(vb_bytes));
  if (ib_count * 2 > r.left) throw MeshError("Mesh payload is too short", -1);
  const uint8_t* indices = r.take(size_t(ib_count * 2));
  for (uint64_t i = 0; i < ib_count; ++i) {
    uint16_t ix;
    memcpy(&ix, indices + i * 2, 2);
    if (ix >= m->numVerts) throw MeshError("Mesh index is out of range", -1);
  }

  // Both sizes are below MAX_PAYLOAD, so they fit the int sizes below.
  m->vb = create_vb(int(vb_bytes), VB_STATIC);
  if (!m->vb) throw MeshError("Can't create vertex buffer", -1);
  void* vp = lock_vb(m->vb, 0, 0);
  if (!vp) throw MeshError("Can't lock vertex buffer", -1);
  memcpy(vp, verts, size_t(vb_bytes));
  unlock_vb(m->vb);

  m->ib = create_ib(int(ib_count), VB_STATIC);
  if (!m->ib) throw MeshError("Can't create index buffer", -1);
  void* ip = lock_ib(m->ib, 0, 0);
  if (!ip) throw MeshError("Can't lock index buffer", -1);
  memcpy(ip, indices, size_t(ib_count * 2));
  unlock_ib(m->ib);

  return m.release();
}

Mesh* load_mesh_file(const char* path, bool must_exist)
{
  try {
    FileInputStream in;
    if (!in.open(find_file_nocase(path), "rb")) throw MeshError("Can't open file", -1);
    Mesh* m = read_mesh(in);
    int l = int(strlen(path));
    m->path.append(l + 1, path);
    return m;
  } catch (const InputStream::Exception& e) {
    if (must_exist) fatal("Error reading mesh file '%s':\n%s (offset %d)", path, e.message, e.position);
    debug("Error reading mesh file '%s':\n%s (offset %d)", path, e.message, e.position);
    return nullptr;
  }
}

Mesh* get_mesh(const char* name, bool must_exist)
{
  TempString<260> path = make_full_path(name);
  for (Mesh* m : mesh_cache) {
    if (strcasecmp(m->path.data, path) == 0) {
      ++m->refcount;
      return m;
    }
  }
  Mesh* m = load_mesh_file(path, must_exist);
  if (!m) {
    // Only reached without must_exist: the loader has logged why.
    return nullptr;
  }
  mesh_cache.push_back(m);
  return m;
}

void destroy_mesh(Mesh* mesh)
{
  if (!mesh) return;
  if (--mesh->refcount > 0) return;
  int i = mesh_cache.find(mesh);
  if (i >= 0) mesh_cache.eraseUnordered(i, 1);
  delete mesh;
}

void free_all_meshes()
{
  for (Mesh* m : mesh_cache) delete m;
  mesh_cache = DynArray<Mesh*>();
}

#include "engine/d3d_misc.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "engine/d3d_render.h"
#include "engine/d3d_shaders.h"
#include "engine/d3d_vbuf.h"
#include "engine/debug.h"

// S3TC formats (EXT_texture_compression_s3tc, always present on Mesa).
#define QM_COMPRESSED_RGBA_S3TC_DXT1 0x83F1
#define QM_COMPRESSED_RGBA_S3TC_DXT3 0x83F2
#define QM_COMPRESSED_RGBA_S3TC_DXT5 0x83F3

TextureSlot texture_table[MAX_TEXTURES];

bool get_gl_format(int format, GlFormatInfo* out)
{
  const GLint R = GL_RED, G = GL_GREEN, B = GL_BLUE, A = GL_ALPHA, ONE = GL_ONE;
  struct Row { int fmt; GLenum ifmt, f, t; GLint sw[4]; int bpp; };
  static const Row rows[] = {
      {FMT_A8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {R, G, B, A}, 4},
      {FMT_X8R8G8B8, GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, {R, G, B, ONE}, 4},
      {FMT_L8, GL_R8, GL_RED, GL_UNSIGNED_BYTE, {R, R, R, ONE}, 1},
      {FMT_G16R16, GL_RG16, GL_RG, GL_UNSIGNED_SHORT, {R, G, ONE, ONE}, 4},
      {FMT_R16F, GL_R16F, GL_RED, GL_HALF_FLOAT, {R, ONE, ONE, ONE}, 2},
      {FMT_G16R16F, GL_RG16F, GL_RG, GL_HALF_FLOAT, {R, G, ONE, ONE}, 4},
      {FMT_A16B16G16R16F, GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, {R, G, B, A}, 8},
      {FMT_R32F, GL_R32F, GL_RED, GL_FLOAT, {R, ONE, ONE, ONE}, 4},
      {FMT_G32R32F, GL_RG32F, GL_RG, GL_FLOAT, {R, G, ONE, ONE}, 8},
      {FMT_A32B32G32R32F, GL_RGBA32F, GL_RGBA, GL_FLOAT, {R, G, B, A}, 16},
      {FMT_DXT1, QM_COMPRESSED_RGBA_S3TC_DXT1, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, A}, 0},
      {FMT_DXT3, QM_COMPRESSED_RGBA_S3TC_DXT3, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, A}, 0},
      {FMT_DXT5, QM_COMPRESSED_RGBA_S3TC_DXT5, GL_RGBA, GL_UNSIGNED_BYTE, {R, G, B, A}, 0},
  };
  for (const Row& r : rows) {
    if (r.fmt != format) continue;
    out->internal_format = r.ifmt;
    out->format = r.f;
    out->type = r.t;
    memcpy(out->swizzle, r.sw, sizeof(out->swizzle));
    out->bytes_per_pixel = r.bpp;
    return true;
  }
  return false;
}

static bool is_compressed(int format)
{
  return format == FMT_DXT1 || format == FMT_DXT3 || format == FMT_DXT5;
}

// Makes the GL texture of a slot from its stored parameters.
static bool create_slot_texture(TextureSlot* s)
{
  GlFormatInfo fi;
  if (!get_gl_format(s->format, &fi)) return false;
  int w = s->width, h = s->height;
  if (w == 0 && h == 0) {
    w = d3d_wd;
    h = d3d_ht;
  }
  if (w < 1 || h < 1 || s->levels < 1) return false;

  while (glGetError() != GL_NO_ERROR) {}
  GLuint t = 0;
  glGenTextures(1, &t);
  glBindTexture(GL_TEXTURE_2D, t);
  int lw = w, lh = h;
  for (int level = 0; level < s->levels; ++level) {
    if (is_compressed(s->format)) {
      int block = s->format == FMT_DXT1 ? 8 : 16;
      int bytes = ((lw + 3) / 4) * ((lh + 3) / 4) * block;
      glCompressedTexImage2D(GL_TEXTURE_2D, level, fi.internal_format, lw, lh, 0, bytes, nullptr);
    } else {
      glTexImage2D(GL_TEXTURE_2D, level, fi.internal_format, lw, lh, 0, fi.format, fi.type, nullptr);
    }
    lw = lw > 1 ? lw / 2 : 1;
    lh = lh > 1 ? lh / 2 : 1;
  }
  // Without this a texture with fewer levels than a full chain samples black.
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_BASE_LEVEL, 0);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, s->levels - 1);
  glTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_SWIZZLE_RGBA, fi.swizzle);
  glBindTexture(GL_TEXTURE_2D, 0);
  GLenum err = glGetError();
  if (err != GL_NO_ERROR) {
    glDeleteTextures(1, &t);
    return false;
  }
  s->texture = t;
  s->real_width = w;
  s->real_height = h;
  return true;
}

Texture create_texture(int width, int height, int levels, int usage, int format, int pool)
{
  TextureSlot* s = nullptr;
  for (int i = 0; i < MAX_TEXTURES; ++i) {
    if (!texture_table[i].used) {
      s = &texture_table[i];
      break;
    }
  }
  if (!s) {
    debug("reached MAX_TEXTURES");
    return nullptr;
  }
  memset(s, 0, sizeof(*s));
  s->width = width;
  s->height = height;
  s->levels = levels;
  s->usage = usage;
  s->format = format;
  s->pool = pool;
  if (!create_slot_texture(s)) {
    debug("error creating texture (code 0x%08X)", (unsigned)glGetError());
    memset(s, 0, sizeof(*s));
    return nullptr;
  }
  s->used = true;
  return s;
}

Texture create_managed_texture(int width, int height)
{
  return create_texture(width, height, 1, 0, FMT_A8R8G8B8, TEXPOOL_MANAGED);
}

Texture create_dynamic_texture(int width, int height)
{
  return create_texture(width, height, 1, TEXUSAGE_DYNAMIC, FMT_A8R8G8B8, TEXPOOL_DEFAULT);
}

Texture wrap_texture(GLuint gl_texture)
{
  if (!gl_texture) return nullptr;
  for (TextureSlot& s : texture_table) {
    if (s.used) continue;
    memset(&s, 0, sizeof(s));
    s.texture = gl_texture;
    s.pool = TEXPOOL_MANAGED;
    s.used = true;
    GLint prev = 0, w = 0, h = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &prev);
    glBindTexture(GL_TEXTURE_2D, gl_texture);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &w);
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_HEIGHT, &h);
    glBindTexture(GL_TEXTURE_2D, (GLuint)prev);
    s.real_width = w;
    s.real_height = h;
    return &s;
  }
  debug("reached MAX_TEXTURES");
  return nullptr;
}

void release_texture(Texture tex)
{
  if (!tex) return;
  if (tex->texture) glDeleteTextures(1, &tex->texture);
  free(tex->lock_data);
  memset(tex, 0, sizeof(*tex));
}

GLuint get_d3d_texture(Texture tex) { return tex ? tex->texture : 0; }

void set_texture(int stage, Texture tex)
{
  glActiveTexture(GL_TEXTURE0 + stage);
  glBindTexture(GL_TEXTURE_2D, tex ? tex->texture : 0);
}

// ------------------------------------------------------------------ locking --

// Bytes of one row of level 0 (a row of 4 x 4 blocks when compressed) and
// the number of such rows.
static bool level0_layout(Texture tex, int* pitch, int* rows)
{
  GlFormatInfo fi;
  if (!get_gl_format(tex->format, &fi)) return false;
  int w = tex->real_width, h = tex->real_height;
  if (w < 1 || h < 1) return false;
  if (is_compressed(tex->format)) {
    int block = tex->format == FMT_DXT1 ? 8 : 16;
    *pitch = ((w + 3) / 4) * block;
    *rows = (h + 3) / 4;
  } else {
    *pitch = w * fi.bytes_per_pixel;
    *rows = h;
  }
  return true;
}

// Binds the texture on unit 0 for a transfer; returns what was bound there.
static GLint bind_for_transfer(GLuint texture)
{
  GLint prev = 0;
  glActiveTexture(GL_TEXTURE0);
  glGetIntegerv(GL_TEXTURE_BINDING_2D, &prev);
  glBindTexture(GL_TEXTURE_2D, texture);
  return prev;
}

void* lock_texture(Texture tex, int* pitch, bool discard)
{
  int row_bytes = 0, rows = 0;
  if (!tex || !tex->texture || tex->lock_data || !level0_layout(tex, &row_bytes, &rows)) {
    debug("error locking texture (code 0x%08X)", (unsigned)GL_INVALID_OPERATION);
    return nullptr;
  }
  uint8_t* data = (uint8_t*)malloc((size_t)row_bytes * rows);
  if (!data) {
    debug("error locking texture (code 0x%08X)", (unsigned)GL_OUT_OF_MEMORY);
    return nullptr;
  }
  // Only a discarding lock of a dynamic texture may start from garbage.
  if (!(discard && tex->usage == TEXUSAGE_DYNAMIC)) {
    while (glGetError() != GL_NO_ERROR) {}
    GLint prev = bind_for_transfer(tex->texture);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    if (is_compressed(tex->format)) {
      glGetCompressedTexImage(GL_TEXTURE_2D, 0, data);
    } else {
      GlFormatInfo fi;
      get_gl_format(tex->format, &fi);
      glGetTexImage(GL_TEXTURE_2D, 0, fi.format, fi.type, data);
    }
    glBindTexture(GL_TEXTURE_2D, (GLuint)prev);
    GLenum err = glGetError();
    if (err != GL_NO_ERROR) {
      free(data);
      debug("error locking texture (code 0x%08X)", (unsigned)err);
      return nullptr;
    }
  }
  tex->lock_data = data;
  tex->lock_pitch = row_bytes;
  if (pitch) *pitch = row_bytes;
  return data;
}

void unlock_texture(Texture tex)
{
  if (!tex || !tex->lock_data) return;
  int row_bytes = 0, rows = 0;
  if (tex->texture && level0_layout(tex, &row_bytes, &rows)) {
    GlFormatInfo fi;
    get_gl_format(tex->format, &fi);
    GLint prev = bind_for_transfer(tex->texture);
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    if (is_compressed(tex->format)) {
      glCompressedTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tex->real_width, tex->real_height, fi.internal_format,
                                row_bytes * rows, tex->lock_data);
    } else {
      glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, tex->real_width, tex->real_height, fi.format, fi.type,
                      tex->lock_data);
    }
    glBindTexture(GL_TEXTURE_2D, (GLuint)prev);
  }
  free(tex->lock_data);
  tex->lock_data = nullptr;
  tex->lock_pitch = 0;
}

// ----------------------------------------------------------------- samplers --

// The device binds one sampler object to each unit; its state is the unit's.
static GLuint stage_sampler(int stage)
{
  if (stage < 0 || stage > 15) return 0;
  GLint active = 0, sampler = 0;
  glGetIntegerv(GL_ACTIVE_TEXTURE, &active);
  glActiveTexture(GL_TEXTURE0 + stage);
  glGetIntegerv(GL_SAMPLER_BINDING, &sampler);
  glActiveTexture((GLenum)active);
  return (GLuint)sampler;
}

void set_texture_filter(int stage, bool linear)
{
  GLuint s = stage_sampler(stage);
  if (!s) return;
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_NEAREST);
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, linear ? GL_LINEAR : GL_NEAREST);
}

static GLint address_mode(int code)
{
  if (code == 0) return GL_REPEAT;
  if (code == 2) return GL_CLAMP_TO_BORDER;
  return GL_CLAMP_TO_EDGE;
}

void set_texture_address(int stage, int u, int v, int w)
{
  if (v < 0) v = u;
  if (w < 0) w = v;
  GLuint s = stage_sampler(stage);
  if (!s) return;
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, address_mode(u));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, address_mode(v));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_R, address_mode(w));
  // The border is transparent black, as the sampler's default.
  static const float border[4] = {0, 0, 0, 0};
  glSamplerParameterfv(s, GL_TEXTURE_BORDER_COLOR, border);
}

static void unbind_all_stages()
{
  GLint units = 16;
  glGetIntegerv(GL_MAX_COMBINED_TEXTURE_IMAGE_UNITS, &units);
  if (units > 32) units = 32;
  for (int i = 0; i < units; ++i) {
    glActiveTexture(GL_TEXTURE0 + i);
    glBindTexture(GL_TEXTURE_2D, 0);
  }
  glActiveTexture(GL_TEXTURE0);
}

void textures_on_device_lost()
{
  unbind_all_stages();
  for (TextureSlot& s : texture_table) {
    if (s.used && s.pool == TEXPOOL_DEFAULT && s.texture) {
      glDeleteTextures(1, &s.texture);
      s.texture = 0;
    }
  }
}

void textures_on_device_reset()
{
  for (TextureSlot& s : texture_table) {
    if (s.used && s.pool == TEXPOOL_DEFAULT && !s.texture) {
      if (!create_slot_texture(&s)) debug("error recreating texture (code 0x%08X)", (unsigned)glGetError());
    }
  }
}

void release_all_textures()
{
  for (TextureSlot& s : texture_table) release_texture(&s);
}

// ------------------------------------------------------ vertex declarations --

namespace {

struct VertexAttr {
  uint8_t stream;
  uint16_t offset;
  GLint size;
  GLenum type;
  GLboolean normalized;
  char name[16];
  char base_name[16];  // without the index, tried for index 0
};

// Attribute locations of one linked program for this declaration.
struct ProgramBinding {
  uint32_t serial;
  int8_t location[MAX_VDECL_LEN];
};

}  // namespace

struct VertexDeclSlot {
  bool used;
  int num;  // elements, the end marker included
  VertexElementDesc elements[MAX_VDECL_LEN];  // with type and usage codes normalised
  int num_attrs;
  VertexAttr attrs[MAX_VDECL_LEN];
  DynArray<ProgramBinding> bindings;
};

static VertexDeclSlot vdecl_table[MAX_VDECLS];
static VertexDecl current_vdecl = nullptr;
static int instance_count = 0;

static const char* const usage_names[5] = {"POSITION", "NORMAL", "COLOR", "TEXCOORD", "TANGENT"};
enum { VDECL_UNUSED = 17 };

void vertex_input_name(int usage, int usage_index, char* out)
{
  if (usage < 0 || usage > VDECL_TANGENT) usage = VDECL_TANGENT;
  snprintf(out, 16, "%s%u", usage_names[usage], (unsigned)(usage_index & 255));
}

static VertexElementDesc normalise_element(const VertexElementDesc& e)
{
  VertexElementDesc n = e;
  if (n.type < VDECL_FLOAT1 || n.type > VDECL_SHORT4) n.type = VDECL_UNUSED;
  if (n.usage > VDECL_TEXCOORD) n.usage = VDECL_TANGENT;
  return n;
}

static void fill_attrs(VertexDeclSlot* d)
{
  d->num_attrs = 0;
  for (int i = 0; i + 1 < d->num; ++i) {
    const VertexElementDesc& e = d->elements[i];
    if (e.type == VDECL_UNUSED) continue;
    VertexAttr& a = d->attrs[d->num_attrs++];
    a.stream = e.stream;
    a.offset = e.offset;
    a.normalized = GL_FALSE;
    switch (e.type) {
      case VDECL_D3DCOLOR:
        // Bytes B, G, R, A in memory, read as normalised (r, g, b, a).
        a.size = GL_BGRA;
        a.type = GL_UNSIGNED_BYTE;
        a.normalized = GL_TRUE;
        break;
      case VDECL_SHORT2: a.size = 2; a.type = GL_SHORT; break;
      case VDECL_SHORT4: a.size = 4; a.type = GL_SHORT; break;
      default: a.size = e.type; a.type = GL_FLOAT; break;
    }
    vertex_input_name(e.usage, e.usage_index, a.name);
    snprintf(a.base_name, sizeof(a.base_name), "%s", usage_names[e.usage]);
  }
}

VertexDecl get_vertex_decl(const VertexElementDesc* elements)
{
  VertexElementDesc list[MAX_VDECL_LEN];
  int i = 0;
  for (;; ++i) {
    ASSERT(i<MAX_VDECL_LEN);
    if (elements[i].stream == 255) {
      memset(&list[i], 0, sizeof(list[i]));
      list[i].stream = 255;
      list[i].type = VDECL_UNUSED;
      break;
    }
    list[i] = normalise_element(elements[i]);
  }
  int num = i + 1;
  for (VertexDeclSlot& d : vdecl_table) {
    if (d.used && d.num == num && memcmp(d.elements, list, sizeof(VertexElementDesc) * num) == 0) return &d;
  }
  for (VertexDeclSlot& d : vdecl_table) {
    if (d.used) continue;
    d.used = true;
    d.num = num;
    memcpy(d.elements, list, sizeof(VertexElementDesc) * num);
    d.bindings.clear();
    fill_attrs(&d);
    return &d;
  }
  fatal("reached maximum vertex declaration count");
}

void set_vertex_decl(VertexDecl decl) { current_vdecl = decl; }

VertexDecl get_current_vertex_decl() { return current_vdecl; }

void release_vertex_decls()
{
  for (VertexDeclSlot& d : vdecl_table) {
    d.used = false;
    d.num = d.num_attrs = 0;
    d.bindings.clear();
  }
  current_vdecl = nullptr;
  instance_count = 0;
}

void set_instancing(int count) { instance_count = count < 1 ? 0 : count; }

int get_instance_count() { return instance_count; }

static const ProgramBinding& program_binding(VertexDeclSlot* d, const Shader* s)
{
  for (const ProgramBinding& b : d->bindings)
    if (b.serial == s->serial) return b;
  ProgramBinding b;
  b.serial = s->serial;
  for (int i = 0; i < d->num_attrs; ++i) {
    GLint loc = glGetAttribLocation(s->program, d->attrs[i].name);
    if (loc < 0 && strcmp(d->attrs[i].name + strlen(d->attrs[i].base_name), "0") == 0)
      loc = glGetAttribLocation(s->program, d->attrs[i].base_name);
    b.location[i] = (int8_t)(loc >= 0 && loc < 32 ? loc : -1);
  }
  d->bindings.push_back(b);
  return d->bindings.back();
}

int prepare_vertex_inputs()
{
  prepare_shader_draw();
  static GLint max_attribs = 0;
  if (max_attribs == 0) {
    glGetIntegerv(GL_MAX_VERTEX_ATTRIBS, &max_attribs);
    if (max_attribs > 32) max_attribs = 32;
    if (max_attribs < 1) max_attribs = 16;
  }
  Shader* s = get_current_shader();
  VertexDeclSlot* d = current_vdecl;
  // Without a shader and a declaration the caller drives GL directly.
  if (!s || s->empty() || !d || !d->used) return instance_count;
  uint32_t enabled = 0;
  {
    const ProgramBinding& b = program_binding(d, s);
    for (int i = 0; i < d->num_attrs; ++i) {
      int loc = b.location[i];
      const VertexAttr& a = d->attrs[i];
      if (loc < 0 || loc >= max_attribs || a.stream >= MAX_STREAMS) continue;
      const StreamSource& src = stream_sources[a.stream];
      if (!src.vb || !src.vb->buffer) continue;
      glBindBuffer(GL_ARRAY_BUFFER, src.vb->buffer);
      glVertexAttribPointer((GLuint)loc, a.size, a.type, a.normalized, src.stride,
                            (const void*)(intptr_t)(src.offset + a.offset));
      glVertexAttribDivisor((GLuint)loc, (instance_count > 0 && a.stream == 1) ? 1 : 0);
      enabled |= 1u << loc;
    }
  }
  for (int i = 0; i < max_attribs; ++i) {
    if (enabled & (1u << i)) glEnableVertexAttribArray((GLuint)i);
    else glDisableVertexAttribArray((GLuint)i);
  }
  glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, current_ib ? current_ib->buffer : 0);
  return instance_count;
}

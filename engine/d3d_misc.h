// The texture table, the texture units with their sampler state, and the
// vertex declarations.
//
// Every texture of the game lives in one fixed table of MAX_TEXTURES slots
// and is handed out as a `Texture` (the slot's address, valid for the whole
// run), so creation parameters survive a device reset and screen-size
// textures are recreated in place. Sampler state belongs to the unit: each of
// the 16 units has its own sampler object (made by the device), which
// set_texture_filter and set_texture_address change.
//
// Vertex declarations describe where each input of a vertex lives (stream,
// offset, type) and what it means (usage and usage index). Equal element
// lists share one declaration (at most 64 distinct). Shaders name their
// vertex inputs by meaning (see d3d_shaders.h), so the attributes are bound
// by name for each pair of program and declaration, right before each draw
// (prepare_vertex_inputs). set_instancing makes the next indexed draws
// instanced: stream 0 repeats for every instance, stream 1 steps once per
// instance.
// Main thread only; needs the device (d3d_render).
#pragma once

#include <cstdint>

#include "engine/gl.h"

enum { MAX_TEXTURES = 1000 };

// Pixel formats. Channels missing from a format read as 1, as the game's
// shaders expect; X8R8G8B8 reads alpha 1, L8 reads (L, L, L, 1).
enum TexFormat {
  FMT_UNKNOWN = 0,
  FMT_A8R8G8B8,
  FMT_X8R8G8B8,
  FMT_L8,
  FMT_G16R16,
  FMT_R16F,
  FMT_G16R16F,
  FMT_A16B16G16R16F,
  FMT_R32F,
  FMT_G32R32F,
  FMT_A32B32G32R32F,
  FMT_DXT1,
  FMT_DXT3,
  FMT_DXT5,
};

enum { TEXUSAGE_RENDERTARGET = 1, TEXUSAGE_DYNAMIC = 512 };
enum { TEXPOOL_DEFAULT = 0, TEXPOOL_MANAGED = 1 };

struct TextureSlot {
  GLuint texture;  // live GL texture, 0 when none
  int width, height;  // creation size; 0 x 0 follows the back buffer
  int levels;
  int usage;
  int format;      // TexFormat
  int pool;
  bool used;
  int real_width, real_height;  // size of the live texture
  uint8_t* lock_data;  // level 0 between lock_texture and unlock_texture
  int lock_pitch;
};
typedef TextureSlot* Texture;

extern TextureSlot texture_table[MAX_TEXTURES];

Texture create_texture(int width, int height, int levels, int usage, int format, int pool);
Texture create_managed_texture(int width, int height);
Texture create_dynamic_texture(int width, int height);
// Takes ownership of a live GL 2D texture (null for 0). The slot records no
// creation parameters, so a reset keeps it as it is.
Texture wrap_texture(GLuint gl_texture);
void release_texture(Texture tex);
GLuint get_d3d_texture(Texture tex);

// Level 0 as rows top-down, `pitch` bytes apart (block rows for DXT formats),
// in the format's memory layout (A8R8G8B8 is B, G, R, A bytes). A discarding
// lock of a dynamic texture starts from undefined contents; any other lock
// starts from the texture's contents. unlock_texture uploads the pixels.
// Null (and the log line "error locking texture (code 0x%08X)") on failure.
void* lock_texture(Texture tex, int* pitch, bool discard);
void unlock_texture(Texture tex);

void set_texture(int stage, Texture tex);
// Minification, magnification and mip filters all linear, or all point.
void set_texture_filter(int stage, bool linear);
// Address codes: 0 wrap, 2 border (transparent black), any other clamp. A
// negative v takes u's code, a negative w takes v's.
void set_texture_address(int stage, int u, int v = -1, int w = -1);

void textures_on_device_lost();
void textures_on_device_reset();
void release_all_textures();

// GL description of a format: internal format, upload format and type, and
// the swizzle that gives missing channels their value.
struct GlFormatInfo {
  GLenum internal_format, format, type;
  GLint swizzle[4];
  int bytes_per_pixel;  // 0 for block-compressed formats
};
bool get_gl_format(int format, GlFormatInfo* out);

// ------------------------------------------------------ vertex declarations --

// One element of a vertex layout as the game and its mesh files store it.
// Lists end with an element whose stream is 255.
#pragma pack(push, 1)
struct VertexElementDesc {
  uint16_t offset;  // byte offset in the vertex
  uint8_t stream;   // 255 ends the list
  uint8_t type;     // 1..4 FLOAT1..FLOAT4, 5 D3DCOLOR, 6 SHORT2, 7 SHORT4, other unused
  uint8_t usage;    // 0 POSITION, 1 NORMAL, 2 COLOR, 3 TEXCOORD, other TANGENT
  uint8_t usage_index;
};
#pragma pack(pop)
static_assert(sizeof(VertexElementDesc) == 6, "the element record is 6 bytes");

enum { MAX_VDECL_LEN = 32, MAX_VDECLS = 64 };
enum { VDECL_FLOAT1 = 1, VDECL_FLOAT2, VDECL_FLOAT3, VDECL_FLOAT4, VDECL_D3DCOLOR, VDECL_SHORT2, VDECL_SHORT4 };
enum { VDECL_POSITION = 0, VDECL_NORMAL, VDECL_COLOR, VDECL_TEXCOORD, VDECL_TANGENT };

struct VertexDeclSlot;
typedef VertexDeclSlot* VertexDecl;

// The shared declaration of a list (fatal past 64 distinct lists; a list
// without its end within 32 places fails the assertion "i<MAX_VDECL_LEN").
VertexDecl get_vertex_decl(const VertexElementDesc* elements);
void set_vertex_decl(VertexDecl decl);
VertexDecl get_current_vertex_decl();
void release_vertex_decls();

// The GLSL input name of a usage and index: "POSITION0", "TEXCOORD3"...
// (buffer of at least 16 bytes).
void vertex_input_name(int usage, int usage_index, char* out);

// count < 1: instancing off; else the next indexed draws draw `count`
// instances, stream 1's elements stepping once per instance.
void set_instancing(int count);
int get_instance_count();

// Called by the device right before each draw: binds the program of the
// current shader and points its vertex inputs at the current streams as the
// current declaration says (without a current shader and declaration the
// vertex inputs are left as they are). Returns the instance count of the
// draw (0 when instancing is off).
int prepare_vertex_inputs();

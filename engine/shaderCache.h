// The parts of the shader system that need no GPU: the defines list, the
// cache file's name and layout, and turning a shader file with its includes
// into the text of one stage.
//
// Cache file, little-endian: magic 0x20100715, dependency block size D,
// vertex code size V, pixel code size P (u32 each), then D bytes of
// dependency paths (each NUL-ended, in the order they were read, then one
// more NUL), V bytes of vertex code, P bytes of pixel code. The code is
// either the two stages' preprocessed GLSL texts, or, when the driver can
// save programs, a program binary in the vertex block (starting with
// SHADER_BINARY_TAG and the binary's format) and an empty pixel block.
// Cache files are untrusted: every size is checked against the file.
// Any thread (no globals are touched).
#pragma once

#include <cstdint>

#include "engine/dynArray.h"
#include "engine/utils.h"

enum : uint32_t { SHADER_CACHE_MAGIC = 0x20100715u, SHADER_BINARY_TAG = 0x42504C47u /* "GLPB" */ };

// Bytes of a defines list including both final NULs (1 for null: the empty
// list). Stops at an empty name or an empty value, as the compiler does.
int shader_defines_size(const char* defines);
// Byte-wise equality of two lists (null equals the empty list).
bool shader_defines_equal(const char* a, const char* b);

// "cache/<name>" followed, for every string of the list (names and values),
// by "@" and the string with each character that is not an ASCII letter or
// digit turned into "_", then ".cache". False when it does not fit.
bool make_shader_cache_name(const char* name, const char* defines, TempString<1024>& out);

struct ShaderCacheData {
  DynArray<TempString<260>> dependencies;
  DynArray<uint8_t> vs_code, ps_code;
};

// Reads a cache file. False (with a reason for the log) for a missing,
// short, inconsistent or wrong-magic file; never reads past the file.
bool read_shader_cache(const char* path, ShaderCacheData& out, TempString<128>* reason);
// Writes through a temporary file renamed over the old one; a failure
// leaves no partial file.
bool write_shader_cache(const char* path, const DynArray<TempString<260>>& dependencies, const void* vs_code,
                        int vs_size, const void* ps_code, int ps_size);

// Reads a file named relative to the program directory into `out`.
bool read_shader_file(const char* name, DynArray<char>& out);

// Builds the GLSL text of one stage: "#version 330 core", a "#define" per
// pair of the list, "#define VSH 1" or "PSH", the prelude, then the file
// with every `#include "x"` replaced by x's text (nested at most 16 deep).
// Every file read is appended to `deps` in reading order (the file itself
// first, then the prelude, then the includes); a file already in `deps` is
// not appended again. Sources are numbered by their place in `deps`
// ("#line n i"), so compiler messages can name files (name_source_numbers).
// False with the reason in `error` when a file cannot be read.
bool build_stage_source(const char* name, const char* defines, bool vertex_stage, DynArray<char>& out,
                        DynArray<TempString<260>>& deps, DynArray<char>& error);

// Rewrites a compiler log so "i:line(col)" and "i(line)" prefixes name the
// file of source i in `deps`.
void name_source_numbers(const char* log, const DynArray<TempString<260>>& deps, DynArray<char>& out);

// Name of the shared prelude beside the program.
extern const char* const shader_prelude_name;

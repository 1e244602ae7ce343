// Shared pieces of the fuzz targets: a private folder for readers that take
// a path, and a script VM for the script-value readers.
//
// Every target defines LLVMFuzzerTestOneInput. Built with clang and
// -fsanitize=fuzzer it is a libFuzzer program (`make fuzz`); built with the
// project's compiler and replay_main.cpp it replays a corpus and the
// regression inputs as an ordinary test. A reader may refuse its input with
// any of its documented exceptions; only a crash, a sanitizer report or a
// hang is a finding.
#pragma once

#include <squirrel.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A folder of this process under $TMPDIR (else /tmp), removed at exit.
const std::string& fuzz_dir();
// Writes the bytes to fuzz_dir()/name (creating its folder) and returns the path.
std::string fuzz_write(const char* name, const uint8_t* data, size_t size);
// Makes fuzz_dir() the program folder the readers resolve names against.
void fuzz_use_dir_as_program_folder();
// One VM for the whole run, with the standard libraries and quiet output.
HSQUIRRELVM fuzz_vm();
// Print function that drops everything: script output would only slow a run.
void fuzz_quiet_print(HSQUIRRELVM vm, const SQChar* fmt, ...);

// Programs on the shell's test doubles (not the game's own shell): forgets
// the sound calls the doubles record, which would otherwise grow with every
// input.
void fuzz_forget_recorded_calls();

// Readers of large fixed-size blocks are fuzzed through small inputs that
// change a valid base: the input is a header byte, then patches up to its
// end, each a u32 offset (taken modulo the result's size), a u8 length n and
// n bytes written there (cut at the end). Header 0xFF is followed by a u32
// giving the result's size modulo (base size + 65): the base cut short or
// padded with zeros; any other header keeps the base's size. Every block
// the reader could be given is one patch list away.
//
// The block lives in one buffer for the whole run and each call first undoes
// the previous call's patches, so a run copies no more than its patches.
class FuzzPatcher
{
public:
  explicit FuzzPatcher(std::vector<uint8_t> base);
  // The patched block, valid until the next call; size in out_size.
  const uint8_t* apply(const uint8_t* data, size_t size, size_t& out_size);
  // Where the last result may differ from the one before: (offset, length)
  // ranges, or sizeChanged() and then anywhere. A copy of the block (a file)
  // is brought up to date by rewriting only these.
  const std::vector<std::pair<size_t, size_t>>& changed() const { return changes; }
  bool sizeChanged() const { return size_changed; }

private:
  std::vector<uint8_t> base, block;  // block: base and 65 zero bytes
  std::vector<std::pair<size_t, size_t>> touched;  // (offset, length) to undo
  std::vector<std::pair<size_t, size_t>> changes;
  size_t last_size;
  bool size_changed = false;
};

// A valid world-data block (HeightmapData::saveWorldData) of a world with
// hills, water, foam and house tiles of the 19 materials; the grid is left
// holding that world.
std::vector<uint8_t> fuzz_world_block();

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

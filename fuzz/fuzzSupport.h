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

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

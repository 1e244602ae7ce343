// Plain saved script values (the slot files' "info" and "uni" values).
#include "fuzz/fuzzSupport.h"

#include "scripting/scriptSave.h"

#include "engine/streams.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  MemoryInputStream in(size ? (const void*)data : "", (int)size);
  try {
    sqbind::SqObject v = load_data(in, fuzz_vm());
  } catch (const InputStream::Exception&) {
  } catch (const sqbind::SquirrelError&) {
  }
  return 0;
}

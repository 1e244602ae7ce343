// DDS textures: the header and level layout checks before any upload.
#include "fuzz/fuzzSupport.h"

#include "engine/dds.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
  DdsHeader header;
  dds_parse_header(data, size, &header);
  DdsImage image;
  dds_get_image(data, size, &image);
  return 0;
}

# Run at build time: every entry of data/ appears beside the program as a
# symbolic link, so edits to scripts and shaders are seen by hot reload.
file(GLOB entries RELATIVE ${SRC} ${SRC}/*)
foreach(e ${entries})
  if(NOT EXISTS ${DST}/${e} AND NOT IS_SYMLINK ${DST}/${e})
    file(CREATE_LINK ${SRC}/${e} ${DST}/${e} SYMBOLIC)
  endif()
endforeach()

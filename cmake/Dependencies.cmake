# Third-party libraries: Debian packages, and Squirrel built from Debian's
# source package that tools/bootstrap.sh unpacks into .deps/.
find_package(SDL2 REQUIRED)
set(OpenGL_GL_PREFERENCE GLVND)
find_package(OpenGL REQUIRED COMPONENTS OpenGL EGL)
find_package(Threads REQUIRED)

set(SQ_ROOT ${CMAKE_SOURCE_DIR}/.deps/squirrel3/src)
if(NOT EXISTS ${SQ_ROOT}/squirrel/sqvm.cpp)
  message(FATAL_ERROR "Squirrel sources missing: run tools/bootstrap.sh first")
endif()
file(GLOB _sq_core ${SQ_ROOT}/squirrel/*.cpp)
file(GLOB _sq_std ${SQ_ROOT}/sqstdlib/*.cpp)
# Squirrel allocates through the scripts' budgets (scripting/scriptHeap), built
# into the library itself so every program that links Squirrel has them.
add_library(squirrel STATIC ${_sq_core} ${_sq_std} ${CMAKE_SOURCE_DIR}/scripting/scriptHeap.cpp)
target_compile_definitions(squirrel PRIVATE SQ_EXCLUDE_DEFAULT_MEMFUNCTIONS)
target_include_directories(squirrel PRIVATE ${CMAKE_SOURCE_DIR})
# 64-bit integers and pointer-sized keys; every includer must agree.
target_compile_definitions(squirrel PUBLIC _SQ64)
target_include_directories(squirrel SYSTEM PUBLIC ${SQ_ROOT}/include)
target_include_directories(squirrel SYSTEM INTERFACE ${SQ_ROOT}/squirrel)
# RTTI stays on: the sanitizer build checks the dynamic types of the VM's objects.
target_compile_options(squirrel PRIVATE -w -fno-exceptions -fno-strict-aliasing)
# Script integers wrap around on overflow (negating the smallest one included):
# made the defined behaviour instead of left to the optimiser.
target_compile_options(squirrel PRIVATE -fwrapv)
# Sanitizer builds also keep Squirrel's own consistency checks.
if(QM_SANITIZE)
  target_compile_options(squirrel PRIVATE -UNDEBUG)
endif()

# Audio: OpenAL Soft for mixing and output, libsndfile for decoding sound files.
find_package(PkgConfig REQUIRED)
pkg_check_modules(OPENAL REQUIRED IMPORTED_TARGET openal)
pkg_check_modules(SNDFILE REQUIRED IMPORTED_TARGET sndfile)

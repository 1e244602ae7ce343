# The launcher stands on the engine's foundation and platform code alone:
# no file of launcher/ may reach, through any chain of includes, the world,
# scripting, world-rendering or game-shell code, nor an engine module the
# launcher does not build (its header would promise what is not linked).
#   cmake -DSRC=<repository> -DCXX=<compiler> -DENGINE_SRC="<engine .cpp files>" -P include_graph.cmake
file(GLOB files ${SRC}/launcher/*.cpp ${SRC}/launcher/*.h)
set(failed "")
foreach(f ${files})
  execute_process(COMMAND ${CXX} -x c++ -std=c++17 -MM -MG -I${SRC} ${f}
                  OUTPUT_VARIABLE deps ERROR_VARIABLE err RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cannot list the includes of ${f}: ${err}")
  endif()
  string(REGEX MATCHALL "[^ \\\\\n]+\\.h" headers "${deps}")
  foreach(h ${headers})
    file(RELATIVE_PATH rel ${SRC} ${h})
    if(rel MATCHES "^(world|scripting|worldrender|gameshell|gameobj)/")
      list(APPEND failed "${f} -> ${rel}")
    elseif(rel MATCHES "^engine/(.*)\\.h$")
      # Header-only engine code is fine; a module's header needs its source in the launcher's build.
      set(cpp "engine/${CMAKE_MATCH_1}.cpp")
      if(EXISTS ${SRC}/${cpp} AND NOT "${ENGINE_SRC}" MATCHES "${cpp}")
        list(APPEND failed "${f} -> ${rel} (${cpp} is not built into the launcher)")
      endif()
    endif()
  endforeach()
endforeach()
if(failed)
  list(REMOVE_DUPLICATES failed)
  string(REPLACE ";" "\n  " text "${failed}")
  message(FATAL_ERROR "the launcher includes code it must not stand on:\n  ${text}")
endif()
list(LENGTH files n)
message("launcher include graph: ${n} files, all on the engine's foundation and platform code")

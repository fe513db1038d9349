# Installs the build into a scratch prefix, then builds the example against it
# twice: through the CMake package and through pkg-config.
# -DBUILD_DIR -DWORK_DIR -DEXAMPLE -DCONSUMER -DCC -DC_FLAGS
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  set(last_output "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(header plover.h enum.h)
  if(NOT EXISTS ${prefix}/include/plover/${header})
    message(FATAL_ERROR "${header} not installed")
  endif()
endforeach()
file(GLOB sonames ${prefix}/lib*/libplover.so.0 ${prefix}/lib*/*/libplover.so.0)
if(NOT sonames)
  message(FATAL_ERROR "libplover.so.0 not installed")
endif()

run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK_DIR}/cmake-build -DCMAKE_PREFIX_PATH=${prefix}
    -DEXAMPLE=${EXAMPLE} "-DCMAKE_C_FLAGS=${C_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-build)
run(${WORK_DIR}/cmake-build/example)
if(NOT last_output MATCHES "XFD1048576 is row 1048576")
  message(FATAL_ERROR "the example built with find_package printed:\n${last_output}")
endif()

get_filename_component(libdir ${sonames} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${libdir}/pkgconfig)
run(pkg-config --cflags --libs plover)
string(STRIP "${last_output}" flags)
separate_arguments(flags UNIX_COMMAND "${flags}")
separate_arguments(extra UNIX_COMMAND "${C_FLAGS}")
run(${CC} -std=c11 -Wall -Werror ${extra} ${EXAMPLE} ${flags} -Wl,-rpath,${libdir} -o ${WORK_DIR}/example-pc)
run(${WORK_DIR}/example-pc)

# Run with -DBUILD_DIR, -DWORK_DIR, -DCONSUMER_DIR, -DCXX.
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}\n${err}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

# Through the CMake package.
run(${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build -G Ninja
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
run(${CMAKE_COMMAND} -E chdir ${WORK_DIR} ${WORK_DIR}/build/interface_caller)

# The same caller through pkg-config; the stand-in host is named explicitly, as a host would link itself.
find_program(PKG_CONFIG pkg-config REQUIRED)
file(GLOB libdirs LIST_DIRECTORIES true ${prefix}/lib*)
set(pcpath "")
foreach(d ${libdirs})
  string(APPEND pcpath "${d}/pkgconfig:")
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${pcpath} ${PKG_CONFIG} --cflags --libs basaplace
  OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "pkg-config does not know basaplace (PKG_CONFIG_PATH=${pcpath})")
endif()
separate_arguments(flags UNIX_COMMAND "${flags}")
string(REGEX MATCH "-L([^ ;]+)" _ "${flags}")
file(GLOB sources ${CONSUMER_DIR}/*.cpp)
run(${CXX} -std=c++17 ${sources} ${flags} -lbasaplace_standin
    -Wl,-rpath,${CMAKE_MATCH_1} -o ${WORK_DIR}/interface_caller_pc)
run(${CMAKE_COMMAND} -E chdir ${WORK_DIR} ${WORK_DIR}/interface_caller_pc)

# Installs the sender library into a temporary prefix and builds the outside
# programs of consumer/ against it; each must succeed.
#   -DBUILD_DIR= -DSOURCE_DIR= -DWORK_DIR= -DCXX= -DCC= -DSANITIZE=
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
  endif()
endfunction()

file(REMOVE_RECURSE ${WORK_DIR})
foreach(component sender sender_dev)
  run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${WORK_DIR}/prefix --component ${component})
endforeach()
if(SANITIZE)
  set(flags "-fsanitize=address,undefined")
endif()
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer -B ${WORK_DIR}/build -G Ninja -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix
    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_C_COMPILER=${CC} "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/build)
foreach(programm verbraucher_shared verbraucher_static verbraucher_c)
  run(${WORK_DIR}/build/${programm})
endforeach()
file(REMOVE_RECURSE ${WORK_DIR})
# The programs' own channels (their prefixes hold their pids).
file(GLOB channel_objects /dev/shm/t_verbraucher_*)
if(channel_objects)
  file(REMOVE ${channel_objects})
endif()

# Installs the sender library into a temporary prefix and builds two small
# outside programs against it: C++ with find_package (shared and static) and
# C with pkg-config. Each must print "ok".
#   -DBUILD_DIR= -DSOURCE_DIR= -DWORK_DIR= -DCXX= -DCC= -DSANITIZE=
cmake_minimum_required(VERSION 3.25)

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    string(REPLACE ";" " " cmd "${ARGN}")
    message(FATAL_ERROR "failed (${rc}): ${cmd}\n${out}\n${err}")
  endif()
  set(run_out "${out}" PARENT_SCOPE)
endfunction()

function(expect_ok)
  run(${ARGN})
  if(NOT run_out STREQUAL "ok\n")
    message(FATAL_ERROR "${ARGN} printed '${run_out}', not 'ok'")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix} --component vrd4sender)

set(flags "")
if(SANITIZE)
  set(flags "-fsanitize=address,undefined")
endif()

# C++, find_package
run(${CMAKE_COMMAND} -S ${SOURCE_DIR}/consumer_cpp -B ${WORK_DIR}/cpp -G Ninja
    -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_EXE_LINKER_FLAGS=${flags}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cpp)
expect_ok(${WORK_DIR}/cpp/verbraucher_shared)
expect_ok(${WORK_DIR}/cpp/verbraucher_static)

# C, pkg-config
file(GLOB_RECURSE pc ${prefix}/vrd4sender.pc)
if(NOT pc)
  message(FATAL_ERROR "no vrd4sender.pc under ${prefix}")
endif()
get_filename_component(pcdir ${pc} DIRECTORY)
set(ENV{PKG_CONFIG_PATH} ${pcdir})
run(pkg-config --cflags vrd4sender)
string(STRIP "${run_out}" cflags)
run(pkg-config --libs vrd4sender)
string(STRIP "${run_out}" libs)
run(pkg-config --variable=libdir vrd4sender)
string(STRIP "${run_out}" libdir)
separate_arguments(cflags UNIX_COMMAND "${cflags}")
separate_arguments(libs UNIX_COMMAND "${libs}")
file(MAKE_DIRECTORY ${WORK_DIR}/c)
run(${CC} -std=c11 -Wall -Wextra -Werror ${flags} -o ${WORK_DIR}/c/verbraucher ${SOURCE_DIR}/consumer_c/main.c
    ${cflags} ${libs} -Wl,-rpath,${libdir})
expect_ok(${WORK_DIR}/c/verbraucher)
file(REMOVE_RECURSE ${WORK_DIR})
# The programs' own channels (their prefixes hold their pids).
file(GLOB channel_objects /dev/shm/t_verbraucher_*)
if(channel_objects)
  file(REMOVE ${channel_objects})
endif()

# Builds the Debian packages with cpack and checks them the way an
# administrator and a developer meet them: lintian without errors, the files
# and fields each package must have, and the unpacked packages in a scratch
# root: vrd4send runs, the manual pages render without warnings and document
# every option and operation, the desktop entry and the user unit name files
# that are there, and an outside C program builds against the unpacked
# vrd4sender.pc and runs. Every fault is listed before the test fails.
#   -DBUILD_DIR= -DSOURCE_DIR= -DWORK_DIR= -DCPACK= -DCC= -DVERSION= -DPREFIX= -DLIBDIR= -DBINDIR=
cmake_minimum_required(VERSION 3.25)

function(melde text)
  set_property(GLOBAL APPEND PROPERTY paket_fehler "${text}")
endfunction()

# Runs a command that must succeed; its output (stdout and stderr) in <out>.
function(run out)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${text}")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

foreach(werkzeug lintian dpkg-deb man gzip readelf ldd pkg-config)
  find_program(pfad_${werkzeug} ${werkzeug})
  if(NOT pfad_${werkzeug})
    message(FATAL_ERROR "${werkzeug} is missing (scripts/install-deps.sh installs it)")
  endif()
endforeach()

string(REGEX MATCH "^[0-9]+" major "${VERSION}")
set(empf vrd4empfaenger)
set(lib libvrd4sender${major})
set(dev libvrd4sender-dev)
set(P ".${PREFIX}")            # the prefix as dpkg-deb lists it
set(L "${P}/${LIBDIR}")
if(PREFIX STREQUAL "/usr" AND NOT LIBDIR MATCHES "^lib/[a-z0-9_]+-linux-[a-z0-9_]+$")
  melde("libraries go to ${LIBDIR}, not to the multiarch folder lib/<triplet>")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
set(wurzel ${WORK_DIR}/wurzel)
file(MAKE_DIRECTORY ${wurzel})

# --- build ------------------------------------------------------------------
execute_process(COMMAND ${CPACK} -G DEB -B ${WORK_DIR}/pakete WORKING_DIRECTORY ${BUILD_DIR}
  RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cpack -G DEB failed (build everything first):\n${text}")
endif()
file(GLOB debs ${WORK_DIR}/pakete/*.deb)
set(gefunden)
foreach(deb ${debs})
  run(name dpkg-deb -f ${deb} Package)
  string(STRIP "${name}" name)
  list(APPEND gefunden ${name})
  set(deb_${name} ${deb})
endforeach()
list(SORT gefunden)
set(erwartet ${dev} ${lib} ${empf})
list(SORT erwartet)
if(NOT gefunden STREQUAL erwartet)
  message(FATAL_ERROR "cpack made the packages [${gefunden}], expected [${erwartet}]")
endif()

# --- lintian ------------------------------------------------------------------
execute_process(COMMAND lintian --fail-on error ${debs} RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
if(NOT rc EQUAL 0)
  melde("lintian reports errors:\n${text}")
endif()

# --- fields -------------------------------------------------------------------
file(STRINGS ${SOURCE_DIR}/packaging/changelog kopf LIMIT_COUNT 1)
string(REGEX MATCH "\\(([^)]+)\\)" _ "${kopf}")
set(changelog_version "${CMAKE_MATCH_1}")
foreach(p ${erwartet})
  run(v dpkg-deb -f ${deb_${p}} Version)
  string(STRIP "${v}" v)
  if(NOT v MATCHES "^${VERSION}-[0-9]+$")
    melde("${p}: version ${v} is not the project's ${VERSION} with a Debian revision")
  endif()
  if(NOT v STREQUAL changelog_version)
    melde("${p}: version ${v}, but packaging/changelog begins with ${changelog_version}")
  endif()
  set(version_${p} "${v}")
endforeach()

# Depends: <package>, <pattern that must occur>, <why>
set(abhaengigkeiten
  "${empf}|fonts-liberation2|the fonts that stand in for Arial and friends"
  "${empf}|libqt6widgets6|dependencies computed by dpkg-shlibdeps"
  "${lib}|libx11-6|dependencies computed by dpkg-shlibdeps"
  "${dev}|${lib} \\(= ${version_${dev}}\\)|the exact runtime library"
  "${dev}|libx11-dev|x11.pc, named by vrd4sender.pc")
foreach(zeile ${abhaengigkeiten})
  string(REPLACE "|" ";" teile "${zeile}")
  list(GET teile 0 p)
  list(GET teile 1 muster)
  list(GET teile 2 warum)
  run(d dpkg-deb -f ${deb_${p}} Depends)
  if(NOT d MATCHES "${muster}")
    melde("${p}: Depends lacks ${muster} (${warum}): ${d}")
  endif()
endforeach()
execute_process(COMMAND dpkg-deb -I ${deb_${lib}} shlibs OUTPUT_VARIABLE shlibs ERROR_QUIET)
if(NOT shlibs MATCHES "^libvrd4sender ${major} ${lib} \\(>= ${version_${lib}}\\)")
  melde("${lib}: shlibs control file is '${shlibs}'")
endif()

# --- file lists ---------------------------------------------------------------
foreach(p ${erwartet})
  run(liste dpkg-deb -c ${deb_${p}})
  string(REPLACE "\n" ";" zeilen "${liste}")
  set(dateien_${p})
  foreach(z ${zeilen})
    if(z MATCHES " (\\./[^ ]*[^/])( -> [^ ]+)?$")
      list(APPEND dateien_${p} "${CMAKE_MATCH_1}")
    endif()
  endforeach()
endforeach()

set(muss_${empf}
  ${P}/bin/VRD4Empfaenger ${P}/bin/vrd4send ${P}/bin/vrd4shm
  ${P}/share/man/man1/VRD4Empfaenger.1.gz ${P}/share/man/man1/vrd4send.1.gz ${P}/share/man/man1/vrd4shm.1.gz
  ${P}/share/applications/vrd4empfaenger.desktop
  ${P}/share/icons/hicolor/scalable/apps/vrd4empfaenger.svg
  ${P}/lib/systemd/user/vrd4empfaenger.service
  ${P}/share/doc/${empf}/README.md ${P}/share/doc/${empf}/docs/packaging.md
  ${P}/share/doc/${empf}/docs/sender.md ${P}/share/doc/${empf}/docs/anzeigetafel.png
  ${P}/share/doc/${empf}/examples/anzeigetafel.txt)
set(muss_${lib} ${L}/libvrd4sender.so.${major} ${L}/libvrd4sender.so.${VERSION})
set(muss_${dev}
  ${P}/include/vrd4sender.h ${P}/include/vrd4/clsVRD4Sender.h
  ${L}/libvrd4sender.so ${L}/libvrd4sender.a
  ${L}/cmake/VRD4Sender/VRD4SenderConfig.cmake ${L}/cmake/VRD4Sender/VRD4SenderConfigVersion.cmake
  ${L}/cmake/VRD4Sender/VRD4SenderTargets.cmake ${L}/pkgconfig/vrd4sender.pc)
foreach(p ${erwartet})
  list(APPEND muss_${p} ${P}/share/doc/${p}/copyright ${P}/share/doc/${p}/changelog.Debian.gz)
  foreach(f ${muss_${p}})
    if(NOT f IN_LIST dateien_${p})
      melde("${p}: lacks ${f}")
    endif()
  endforeach()
endforeach()
# The runtime package holds the library and its two doc files, nothing else;
# the library lives only there; headers and link files only in -dev.
foreach(f ${dateien_${lib}})
  if(NOT f IN_LIST muss_${lib})
    melde("${lib}: holds ${f}, which belongs elsewhere")
  endif()
endforeach()
foreach(p ${empf} ${dev})
  foreach(f ${dateien_${p}})
    if(f MATCHES "libvrd4sender\\.so\\.")
      melde("${p}: holds ${f}, which belongs to ${lib}")
    endif()
  endforeach()
endforeach()
foreach(f ${dateien_${empf}})
  if(f MATCHES "^${L}/|/include/|\\.a$")
    melde("${empf}: holds the development file ${f}")
  endif()
endforeach()

# --- the unpacked packages ----------------------------------------------------
foreach(p ${erwartet})
  run(_ dpkg-deb -x ${deb_${p}} ${wurzel})
endforeach()
set(W ${wurzel}${PREFIX})
set(bibliothek ${W}/${LIBDIR}/libvrd4sender.so.${VERSION})

run(dynamik readelf -d ${bibliothek})
if(NOT dynamik MATCHES "Library soname: \\[libvrd4sender\\.so\\.${major}\\]")
  melde("${lib}: the library's SONAME is not libvrd4sender.so.${major}")
endif()
# The sender starts an installed receiver from the bin folder the build was
# configured with; the packages must put it there.
if(NOT BINDIR STREQUAL "${PREFIX}/bin")
  melde("the sender looks for the receiver in ${BINDIR}, the packages install it into ${PREFIX}/bin")
endif()

run(hilfe_vrd4send ${W}/bin/vrd4send --help)
if(NOT hilfe_vrd4send MATCHES "^Aufruf: vrd4send")
  melde("vrd4send --help from the scratch root printed: ${hilfe_vrd4send}")
endif()
run(hilfe_vrd4shm ${W}/bin/vrd4shm --help)

# Manual pages: no warnings from man; every option and operation the program's
# --help names is a bold term of its page, every parameter an italic one.
foreach(seite VRD4Empfaenger vrd4send vrd4shm)
  set(datei ${W}/share/man/man1/${seite}.1.gz)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80 MANPAGER=cat
      man --warnings -E UTF-8 -l ${datei}
    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE warnungen)
  if(NOT rc EQUAL 0 OR NOT warnungen STREQUAL "" OR NOT text MATCHES "SYNOPSIS")
    melde("man -l ${seite}.1.gz (${rc}): ${warnungen}")
  endif()
  run(roff_${seite} gzip -dc ${datei})
endforeach()
foreach(programm vrd4send vrd4shm)
  string(REGEX MATCHALL "--[a-z][a-z-]*" optionen "${hilfe_${programm}}")
  list(REMOVE_DUPLICATES optionen)
  foreach(o ${optionen})
    string(FIND "${roff_${programm}}" "\\fB${o}\\fR" at)
    if(at LESS 0)
      melde("${programm}.1: option ${o} is not documented")
    endif()
  endforeach()
endforeach()
string(FIND "${hilfe_vrd4send}" "Operationen:" at)
string(SUBSTRING "${hilfe_vrd4send}" ${at} -1 operationen)
string(REGEX MATCHALL "\n  [A-Za-z]+[^\n]*" zeilen "${operationen}")
if(NOT zeilen)
  melde("vrd4send --help lists no operations")
endif()
foreach(z ${zeilen})
  string(REGEX MATCHALL "[A-Za-z]+(:[A-Za-z0-9]+)?" woerter "${z}")
  list(POP_FRONT woerter op)
  string(FIND "${roff_vrd4send}" "\\fB${op}\\fR" at)
  if(at LESS 0)
    melde("vrd4send.1: operation ${op} is not documented")
  endif()
  foreach(w ${woerter})
    string(REGEX REPLACE ":.*" "" parameter "${w}")
    string(FIND "${roff_vrd4send}" "\\fI${parameter}\\fR" at)
    if(at LESS 0)
      melde("vrd4send.1: parameter ${parameter} of ${op} is not documented")
    endif()
  endforeach()
endforeach()

# Desktop entry and user unit name what the package holds.
file(READ ${W}/share/applications/vrd4empfaenger.desktop eintrag)
foreach(feld Name Comment Exec Icon Categories)
  set(wert_${feld})
  if(eintrag MATCHES "\n${feld}=([^\n]+)")
    set(wert_${feld} "${CMAKE_MATCH_1}")
  else()
    melde("vrd4empfaenger.desktop: no ${feld}=")
  endif()
endforeach()
if(NOT EXISTS ${W}/bin/${wert_Exec})
  melde("vrd4empfaenger.desktop: Exec=${wert_Exec} is not in ${PREFIX}/bin")
endif()
if(NOT EXISTS ${W}/share/icons/hicolor/scalable/apps/${wert_Icon}.svg)
  melde("vrd4empfaenger.desktop: no icon ${wert_Icon}.svg in hicolor")
endif()
file(READ ${W}/lib/systemd/user/vrd4empfaenger.service unit)
foreach(muster "\nExecStart=${PREFIX}/bin/VRD4Empfaenger\n" "\nRestart=on-failure\n"
               "\nWantedBy=graphical-session.target\n" "\nPartOf=graphical-session.target\n")
  string(FIND "${unit}" "${muster}" at)
  if(at LESS 0)
    string(STRIP "${muster}" muster)
    melde("vrd4empfaenger.service lacks ${muster}")
  endif()
endforeach()

# An outside C program against the unpacked -dev package's pkg-config file.
execute_process(COMMAND ${CMAKE_COMMAND} -E env PKG_CONFIG_PATH=${W}/${LIBDIR}/pkgconfig
    pkg-config --cflags --libs vrd4sender
  RESULT_VARIABLE rc OUTPUT_VARIABLE flags ERROR_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE)
if(NOT rc EQUAL 0 OR NOT flags MATCHES "-I${W}/")
  melde("pkg-config vrd4sender from the scratch root: ${flags}")
else()
  separate_arguments(flags UNIX_COMMAND "${flags}")
  set(programm ${WORK_DIR}/verbraucher_c)
  run(_ ${CC} -Wall -Wextra -Werror ${SOURCE_DIR}/tests/sender/consumer/main.c ${flags} -o ${programm})
  set(umgebung ${CMAKE_COMMAND} -E env LD_LIBRARY_PATH=${W}/${LIBDIR})
  run(bindung ${umgebung} ldd ${programm})
  if(NOT bindung MATCHES "libvrd4sender\\.so\\.${major} => ${W}/${LIBDIR}/libvrd4sender\\.so\\.${major}")
    melde("the C program does not use the unpacked library:\n${bindung}")
  endif()
  execute_process(COMMAND ${umgebung} ${programm} RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
  if(NOT rc EQUAL 0)
    melde("the C program built against the unpacked package failed (${rc}): ${text}")
  endif()
  file(GLOB kanal /dev/shm/t_verbraucher_c_*)
  if(kanal)
    file(REMOVE ${kanal})
  endif()
endif()

get_property(fehler GLOBAL PROPERTY paket_fehler)
if(fehler)
  list(JOIN fehler "\n" fehler)
  message(FATAL_ERROR "${fehler}")
endif()
file(REMOVE_RECURSE ${wurzel})

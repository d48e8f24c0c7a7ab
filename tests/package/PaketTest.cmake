# Builds the Debian packages with cpack - twice, the same bytes both times -
# and checks them the way an administrator and a developer meet them: lintian
# without errors, the files and fields each package must have, hardened
# binaries, and the unpacked packages in a scratch root: vrd4send runs and
# tells the truth in its exit status, the manual pages render without
# warnings and document every option and operation, the desktop entry and the
# user units name files that are there (systemd-analyze finds nothing to say
# of the units), the autostart entry does what it should under openbox's
# session autostart, the receiver runs and writes nothing
# under usr, a second member of the group vrd4 runs the board after a first
# (as root only: it creates the users), and an outside C program builds
# against the unpacked vrd4sender.pc and runs. Every fault is listed before
# the test fails.
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

foreach(werkzeug lintian dpkg-deb man gzip readelf ldd pkg-config hardening-check setpriv)
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

# --- build, twice ---------------------------------------------------------------
foreach(ziel pakete pakete2)
  execute_process(COMMAND ${CPACK} -G DEB -B ${WORK_DIR}/${ziel} WORKING_DIRECTORY ${BUILD_DIR}
    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cpack -G DEB failed (build everything first):\n${text}")
  endif()
endforeach()
file(GLOB debs ${WORK_DIR}/pakete/*.deb)
foreach(deb ${debs})
  get_filename_component(name ${deb} NAME)
  file(SHA256 ${deb} eins)
  set(zwei "(missing)")
  if(EXISTS ${WORK_DIR}/pakete2/${name})
    file(SHA256 ${WORK_DIR}/pakete2/${name} zwei)
  endif()
  if(NOT eins STREQUAL zwei)
    melde("${name}: two package builds differ (not reproducible)")
  endif()
endforeach()
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
# Every warning that stays is justified in docs/packaging.md.
file(READ ${SOURCE_DIR}/docs/packaging.md paketdoku)
string(REGEX MATCHALL "W: [^ ]+ [a-z0-9-]+" warnungen "${text}")
foreach(w ${warnungen})
  string(REGEX REPLACE ".* " "" tag "${w}")
  string(FIND "${paketdoku}" "`${tag}`" at)
  if(at LESS 0)
    melde("lintian warns ${tag}, which docs/packaging.md does not justify")
  endif()
endforeach()

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
run(multiarch dpkg-deb -f ${deb_${lib}} Multi-Arch)
if(NOT multiarch MATCHES "^same")
  melde("${lib}: Multi-Arch is '${multiarch}', not same")
endif()
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
  ${P}/bin/VRD4Empfaenger ${P}/bin/vrd4send ${P}/bin/vrd4shm ${P}/bin/vrd4halle
  ${P}/share/man/man1/VRD4Empfaenger.1.gz ${P}/share/man/man1/vrd4send.1.gz ${P}/share/man/man1/vrd4shm.1.gz
  ${P}/share/man/man1/vrd4halle.1.gz ${P}/lib/systemd/system/vrd4halle.service
  ${P}/share/applications/vrd4empfaenger.desktop ${P}/share/vrd4empfaenger/vrd4empfaenger-autostart.desktop
  ${P}/share/icons/hicolor/scalable/apps/vrd4empfaenger.svg
  ${P}/share/icons/hicolor/48x48/apps/vrd4empfaenger.png ${P}/share/icons/hicolor/128x128/apps/vrd4empfaenger.png
  ${P}/share/icons/hicolor/256x256/apps/vrd4empfaenger.png
  ${P}/lib/systemd/user/vrd4empfaenger.service ${P}/lib/systemd/user/vrd4empfaenger@.service
  ${P}/lib/sysusers.d/vrd4empfaenger.conf
  ${P}/share/doc/${empf}/README.md ${P}/share/doc/${empf}/README.Debian ${P}/share/doc/${empf}/docs/packaging.md
  ${P}/share/doc/${empf}/docs/sender.md ${P}/share/doc/${empf}/docs/anzeigetafel.png
  ${P}/share/doc/${empf}/examples/anzeigetafel.txt)
# Every page and example the README links to ships beside it.
file(READ ${SOURCE_DIR}/README.md readme)
string(REGEX MATCHALL "\\((docs|examples)/[^)# ]+\\)|`examples/[^`]+`" verweise "${readme}")
foreach(v ${verweise})
  string(REGEX REPLACE "[()`]" "" v "${v}")
  list(APPEND muss_${empf} ${P}/share/doc/${empf}/${v})
endforeach()
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
run(hilfe_vrd4halle ${W}/bin/vrd4halle --help)
if(NOT hilfe_vrd4halle MATCHES "^Aufruf: vrd4halle")
  melde("vrd4halle --help from the scratch root printed: ${hilfe_vrd4halle}")
endif()
# A bad option is exit status 2, which the service does not restart on.
execute_process(COMMAND ${W}/bin/vrd4halle --http 1 RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE text)
if(NOT rc EQUAL 2 OR NOT text MATCHES "^vrd4halle: --halle fehlt")
  melde("vrd4halle without --halle (${rc}, expected 2): ${text}")
endif()
file(READ ${W}/lib/systemd/system/vrd4halle.service einheit)
if(NOT einheit MATCHES "\nExecStart=${BINDIR}/vrd4halle " OR NOT einheit MATCHES "\nRestartPreventExitStatus=2\n")
  melde("vrd4halle.service does not start ${BINDIR}/vrd4halle or restarts on bad options:\n${einheit}")
endif()
foreach(programm VRD4Empfaenger vrd4send vrd4shm vrd4halle)
  execute_process(COMMAND ${W}/bin/${programm} --version RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
  if(NOT rc EQUAL 0 OR NOT text STREQUAL "${programm} ${VERSION}\n")
    melde("${programm} --version (${rc}): ${text}")
  endif()
endforeach()

# Hardening as dpkg-buildflags asks for: PIE, stack protector, fortify,
# RELRO with immediate binding.
foreach(binaer ${W}/bin/VRD4Empfaenger ${W}/bin/vrd4send ${W}/bin/vrd4shm ${W}/bin/vrd4halle ${bibliothek})
  execute_process(COMMAND hardening-check --nocfprotection ${binaer} RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
  if(NOT rc EQUAL 0)
    melde("hardening-check:\n${text}")
  endif()
endforeach()

file(READ ${W}/lib/sysusers.d/vrd4empfaenger.conf sysusers)
if(NOT sysusers MATCHES "(^|\n)g vrd4 ")
  melde("sysusers.d/vrd4empfaenger.conf creates no group vrd4:\n${sysusers}")
endif()
file(READ ${W}/${LIBDIR}/cmake/VRD4Sender/VRD4SenderTargets.cmake ziele)
if(NOT ziele MATCHES "INTERFACE_COMPILE_FEATURES \"cxx_std_17\"")
  melde("the CMake package VRD4Sender does not require C++17 of its users")
endif()

# --- the unpacked receiver, as its users run it ---------------------------------
set(lauf ${SOURCE_DIR}/tests/package/tafel-lauf.sh)
string(RANDOM LENGTH 6 ALPHABET abcdefghijklmnopqrstuvwxyz kennung)
set(praefix "paket_${kennung}_")
function(kanal_aufraeumen)
  file(GLOB reste /dev/shm/${praefix}*)
  if(reste)
    file(REMOVE_RECURSE ${reste})
  endif()
endfunction()
execute_process(COMMAND id -u OUTPUT_VARIABLE uid OUTPUT_STRIP_TRAILING_WHITESPACE)
execute_process(COMMAND id -nG OUTPUT_VARIABLE gruppen OUTPUT_STRIP_TRAILING_WHITESPACE)

# Nothing under usr is written: settings and snapshot go to the user's folders.
if(uid STREQUAL "0" OR " ${gruppen} " MATCHES " vrd4 ")
  file(GLOB_RECURSE vorher LIST_DIRECTORIES true ${wurzel}/usr/*)
  file(MAKE_DIRECTORY ${WORK_DIR}/heim)
  execute_process(COMMAND ${lauf} ${W}/bin/VRD4Empfaenger ${praefix} ${WORK_DIR}/heim
    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
  if(NOT rc EQUAL 0)
    melde("the unpacked receiver: ${text}")
  endif()
  file(GLOB_RECURSE nachher LIST_DIRECTORIES true ${wurzel}/usr/*)
  list(REMOVE_ITEM nachher ${vorher})
  if(nachher)
    melde("the unpacked receiver wrote under usr: ${nachher}")
  endif()
  kanal_aufraeumen()
else()
  message(STATUS "skipped the run of the unpacked receiver: needs root or the group vrd4")
endif()

# Two members of the group vrd4, one after the other, on the same channel:
# the second board runs. Creating users needs root.
if(uid STREQUAL "0")
  set(neu_gruppe OFF)
  execute_process(COMMAND getent group vrd4 RESULT_VARIABLE rc OUTPUT_QUIET)
  if(NOT rc EQUAL 0)
    run(_ groupadd --system vrd4)
    set(neu_gruppe ON)
  endif()
  set(neu_benutzer)
  foreach(b vrd4probe1 vrd4probe2)
    execute_process(COMMAND id ${b} RESULT_VARIABLE rc OUTPUT_QUIET ERROR_QUIET)
    if(NOT rc EQUAL 0)
      run(_ useradd --system --no-create-home --shell /usr/sbin/nologin --groups vrd4 ${b})
      list(APPEND neu_benutzer ${b})
    endif()
    set(heim ${WORK_DIR}/heim_${b})
    file(MAKE_DIRECTORY ${heim})
    run(_ chown ${b} ${heim})
    execute_process(COMMAND ${lauf} ${W}/bin/VRD4Empfaenger ${praefix} ${heim} ${b}
      RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
    if(NOT rc EQUAL 0)
      melde("the board as ${b}, a member of vrd4, after the other: ${text}")
      break()
    endif()
    execute_process(COMMAND stat -c "%a %G" /dev/shm/${praefix}VRD4Sendetexte0 /dev/shm/${praefix}VRD4Mutex
      OUTPUT_VARIABLE modi)
    if(NOT modi STREQUAL "660 vrd4\n660 vrd4\n")
      melde("channel files as ${b}: '${modi}', expected mode 660 and group vrd4")
    endif()
  endforeach()
  kanal_aufraeumen()
  foreach(b ${neu_benutzer})
    execute_process(COMMAND userdel ${b})
  endforeach()
  if(neu_gruppe)
    execute_process(COMMAND groupdel vrd4)
  endif()
else()
  message(STATUS "skipped the two members of vrd4 one after the other: creating the users needs root")
endif()

# vrd4send's exit status: 3 when no receiver answers (one that ends at once
# stands beside a copy), 4 when the channel may not be opened (a file of
# root's, or one without any rights, as an ordinary user). Status 1 for lines
# that do not convert needs a receiver that answers: sender_e2e_tests.
set(allein ${WORK_DIR}/allein)
file(MAKE_DIRECTORY ${allein})
file(COPY ${W}/bin/vrd4send DESTINATION ${allein})
file(CREATE_LINK /bin/false ${allein}/VRD4Empfaenger SYMBOLIC)
# Three commands, one line on stderr: one per cause, not per command.
file(WRITE ${allein}/skript "Cls\nCls\nCls\n")
execute_process(COMMAND ${allein}/vrd4send --prefix ${praefix} INPUT_FILE ${allein}/skript
  RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
if(NOT rc EQUAL 3 OR NOT text MATCHES "^vrd4send: der Empfänger hat sich nicht gemeldet[^\n]*\n$")
  melde("vrd4send without a receiver that answers (${rc}, expected 3): ${text}")
endif()
kanal_aufraeumen()
file(TOUCH /dev/shm/${praefix}VRD4Sendetexte0)
set(wer)
if(uid STREQUAL "0")
  file(CHMOD /dev/shm/${praefix}VRD4Sendetexte0 PERMISSIONS OWNER_READ OWNER_WRITE)
  set(wer setpriv --reuid=nobody --regid=nogroup --clear-groups)
else()
  run(_ chmod 000 /dev/shm/${praefix}VRD4Sendetexte0)
endif()
execute_process(COMMAND ${wer} ${W}/bin/vrd4send --prefix ${praefix} INPUT_FILE /dev/null
  RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
if(NOT rc EQUAL 4 OR NOT text MATCHES "^vrd4send: /dev/shm/${praefix}VRD4Sendetexte0 [^\n]*rm [^\n]*\n$")
  melde("vrd4send on a channel it may not open (${rc}, expected 4): ${text}")
endif()
kanal_aufraeumen()

# Manual pages: no warnings from man; every option and operation the program's
# --help names is a bold term of its page, every parameter an italic one.
foreach(seite VRD4Empfaenger vrd4send vrd4shm vrd4halle)
  set(datei ${W}/share/man/man1/${seite}.1.gz)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 MANWIDTH=80 MANPAGER=cat
      man --warnings -E UTF-8 -l ${datei}
    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE warnungen)
  if(NOT rc EQUAL 0 OR NOT warnungen STREQUAL "" OR NOT text MATCHES "SYNOPSIS")
    melde("man -l ${seite}.1.gz (${rc}): ${warnungen}")
  endif()
  run(roff_${seite} gzip -dc ${datei})
endforeach()
# The receiver's --help works without a display.
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=QT_QPA_PLATFORM ${W}/bin/VRD4Empfaenger --help
  RESULT_VARIABLE rc OUTPUT_VARIABLE hilfe_VRD4Empfaenger ERROR_VARIABLE text)
if(NOT rc EQUAL 0 OR NOT hilfe_VRD4Empfaenger MATCHES "^Aufruf: VRD4Empfaenger")
  melde("VRD4Empfaenger --help without a display (${rc}): ${hilfe_VRD4Empfaenger}${text}")
endif()
foreach(programm VRD4Empfaenger vrd4send vrd4shm vrd4halle)
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
file(READ ${W}/lib/systemd/user/vrd4empfaenger@.service unit_vorlage)
foreach(muster "\nExecStart=${PREFIX}/bin/VRD4Empfaenger\n" "\nRestart=always\n" "\nType=notify\n"
               "\nWatchdogSec=10\n" "\nWantedBy=graphical-session.target\n" "\nPartOf=graphical-session.target\n")
  foreach(u unit unit_vorlage)
    string(REPLACE "VRD4Empfaenger\n" "VRD4Empfaenger --prefix %i $VRD4_HALLE\n" m "${muster}")
    if(u STREQUAL "unit")
      set(m "${muster}")
    endif()
    string(FIND "${${u}}" "${m}" at)
    if(at LESS 0)
      string(STRIP "${m}" m)
      melde("${u} (vrd4empfaenger(@).service) lacks ${m}")
    endif()
  endforeach()
endforeach()
find_program(pfad_systemd_analyze systemd-analyze)
if(pfad_systemd_analyze)
  # A user manager's runtime folder of its own; both units, the template as
  # an instance.
  file(MAKE_DIRECTORY ${WORK_DIR}/laufzeit)
  file(CHMOD ${WORK_DIR}/laufzeit DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  file(COPY_FILE ${W}/lib/systemd/user/vrd4empfaenger@.service ${WORK_DIR}/laufzeit/vrd4empfaenger@halle1.service)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_RUNTIME_DIR=${WORK_DIR}/laufzeit
      ${pfad_systemd_analyze} verify --user --man=no
      ${W}/lib/systemd/user/vrd4empfaenger.service ${WORK_DIR}/laufzeit/vrd4empfaenger@halle1.service
    RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
  # Only what it says of our unit: the scratch root's program is not in PATH.
  string(REGEX MATCHALL "vrd4empfaenger[@a-z0-9]*.service:[0-9]+:[^\n]*" meldungen "${text}")
  if(meldungen)
    melde("systemd-analyze verify: ${meldungen}")
  endif()
  file(REMOVE_RECURSE ${WORK_DIR}/laufzeit)
endif()

# The autostart entry, enabled as README.Debian says, run the way openbox's
# session runs ~/.config/autostart (Xfce's and LXDE's sessions read the same
# entries): it asks the user manager for the unit and starts the program
# itself when there is no user manager.
set(openbox_autostart)
foreach(d /usr/lib/x86_64-linux-gnu /usr/lib/aarch64-linux-gnu /usr/lib/openbox /usr/libexec)
  if(EXISTS ${d}/openbox-xdg-autostart)
    set(openbox_autostart ${d}/openbox-xdg-autostart)
  endif()
endforeach()
set(eintrag_autostart ${W}/share/vrd4empfaenger/vrd4empfaenger-autostart.desktop)
file(READ ${eintrag_autostart} autostart)
if(NOT autostart MATCHES "\nExec=sh -c \"systemctl --user import-environment DISPLAY XAUTHORITY; systemctl --user reset-failed vrd4empfaenger.service; systemctl --user start vrd4empfaenger.service [|][|] exec VRD4Empfaenger\"\n")
  melde("vrd4empfaenger-autostart.desktop: unexpected Exec")
endif()
if(openbox_autostart)
  foreach(fall geht fehlt)
    set(sitzung ${WORK_DIR}/sitzung_${fall})
    file(REMOVE_RECURSE ${sitzung})
    file(MAKE_DIRECTORY ${sitzung}/konfig/autostart ${sitzung}/leer ${sitzung}/bin)
    file(CREATE_LINK ${eintrag_autostart} ${sitzung}/konfig/autostart/vrd4empfaenger.desktop SYMBOLIC)
    set(rc_systemctl 0)
    if(fall STREQUAL "fehlt")
      set(rc_systemctl 1)
    endif()
    file(WRITE ${sitzung}/bin/systemctl "#!/bin/sh\necho \"systemctl $*\" >> ${sitzung}/protokoll\nexit ${rc_systemctl}\n")
    file(WRITE ${sitzung}/bin/VRD4Empfaenger "#!/bin/sh\necho \"VRD4Empfaenger $*\" >> ${sitzung}/protokoll\n")
    file(CHMOD ${sitzung}/bin/systemctl ${sitzung}/bin/VRD4Empfaenger PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
    execute_process(COMMAND ${CMAKE_COMMAND} -E env XDG_CONFIG_HOME=${sitzung}/konfig XDG_CONFIG_DIRS=${sitzung}/leer
        PATH=${sitzung}/bin:/usr/bin:/bin ${openbox_autostart} OPENBOX
      RESULT_VARIABLE rc OUTPUT_VARIABLE text ERROR_VARIABLE text)
    set(erwartet_protokoll "systemctl --user import-environment DISPLAY XAUTHORITY\nsystemctl --user reset-failed vrd4empfaenger.service\nsystemctl --user start vrd4empfaenger.service\n")
    if(fall STREQUAL "fehlt")
      string(APPEND erwartet_protokoll "VRD4Empfaenger \n")
    endif()
    set(protokoll "")
    foreach(i RANGE 100)
      if(EXISTS ${sitzung}/protokoll)
        file(READ ${sitzung}/protokoll protokoll)
      endif()
      if(protokoll STREQUAL erwartet_protokoll)
        break()
      endif()
      execute_process(COMMAND sleep 0.1)
    endforeach()
    if(NOT protokoll STREQUAL erwartet_protokoll)
      melde("the autostart entry under openbox-xdg-autostart (user manager ${fall}): ran\n${protokoll}${text}")
    endif()
    file(REMOVE_RECURSE ${sitzung})
  endforeach()
else()
  message(STATUS "skipped the autostart entry under openbox's session: openbox-xdg-autostart is not installed")
endif()

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
file(REMOVE_RECURSE ${wurzel} ${WORK_DIR}/pakete2 ${allein})

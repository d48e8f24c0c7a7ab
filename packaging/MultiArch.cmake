# Run by cpack after it has built the packages (CPACK_POST_BUILD_SCRIPTS):
# the shared library's package gets "Multi-Arch: same", so that the library
# of several architectures can be installed side by side (it lives in
# lib/<multiarch>), and loses CPack's postinst and postrm, which only call
# ldconfig - the ldconfig trigger (debian/triggers) does that for Debian.
# The package is rebuilt with dpkg-deb from its own files,
# owner root and every time stamp at SOURCE_DATE_EPOCH, so it stays
# reproducible.
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  get_filename_component(name ${deb} NAME)
  if(NOT name MATCHES "^${CPACK_DEBIAN_SENDER_PACKAGE_NAME}_.*\\.deb$")
    continue()
  endif()
  set(baum ${deb}.baum)
  file(REMOVE_RECURSE ${baum})
  execute_process(COMMAND dpkg-deb -R ${deb} ${baum} COMMAND_ERROR_IS_FATAL ANY)
  file(READ ${baum}/DEBIAN/control control)
  if(NOT control MATCHES "\nMulti-Arch:")
    string(REGEX REPLACE "(^|\n)(Architecture: [^\n]*\n)" "\\1\\2Multi-Arch: same\n" control "${control}")
    file(WRITE ${baum}/DEBIAN/control "${control}")
  endif()
  foreach(skript postinst postrm)
    if(EXISTS ${baum}/DEBIAN/${skript})
      file(READ ${baum}/DEBIAN/${skript} inhalt)
      string(REGEX REPLACE "#![^\n]*|set -e|if \\[ \"\\$1\" = \"[a-z]+\" \\]; then|ldconfig|fi|[ \t\n]" "" rest "${inhalt}")
      if(rest STREQUAL "")
        file(REMOVE ${baum}/DEBIAN/${skript})
      endif()
    endif()
  endforeach()
  execute_process(COMMAND find ${baum} -exec touch -h -d @$ENV{SOURCE_DATE_EPOCH} {} +
    COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=$ENV{SOURCE_DATE_EPOCH}
      dpkg-deb --root-owner-group -Zxz --build ${baum} ${deb}
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE ${baum})
endforeach()

# Builds the .deb from the build directory, lists it, unpacks it into a scratch root and checks
# that the installed files are all there and that the installed program starts.
# Usage: cmake -DBINARY_DIR=<build dir> -DDPKG_DEB=<dpkg-deb> -DAPP_ID=<id> -P CheckDebianPackage.cmake
if(NOT EXISTS "${DPKG_DEB}")
  message(FATAL_ERROR "dpkg-deb is not installed: run scripts/install-deps.sh")
endif()
set(work "${BINARY_DIR}/debian-package-check")
file(REMOVE_RECURSE "${work}")
file(MAKE_DIRECTORY "${work}")

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${ARGN} failed (${rc}):\n${out}\n${err}")
  endif()
  set(out "${out}" PARENT_SCOPE)
endfunction()

run(${CMAKE_CPACK_COMMAND} -G DEB -B "${work}" --config "${BINARY_DIR}/CPackConfig.cmake")
file(GLOB debs "${work}/*.deb")
list(LENGTH debs count)
if(NOT count EQUAL 1)
  message(FATAL_ERROR "expected one .deb, found: ${debs}")
endif()
message(STATUS "built ${debs}")

run(${DPKG_DEB} --info "${debs}")
message("${out}")
if(NOT out MATCHES "Depends:[^\n]*libqt5webkit5" OR NOT out MATCHES "libqt5sql5-sqlite")
  message(FATAL_ERROR "the package does not depend on the libraries the program needs")
endif()
# A program that speaks recommends the voices (ldd of the program: linked to Qt TextToSpeech).
execute_process(COMMAND ldd "${BINARY_DIR}/vocalume" OUTPUT_VARIABLE linked ERROR_QUIET)
if(linked MATCHES "libQt5TextToSpeech" AND NOT out MATCHES "Recommends:[^\n]*speech-dispatcher-espeak-ng")
  message(FATAL_ERROR "the package does not recommend the voices of the pronunciation")
endif()
run(${DPKG_DEB} --contents "${debs}")
message("${out}")
foreach(path IN ITEMS
    ./usr/bin/vocalume
    ./usr/share/applications/${APP_ID}.desktop
    ./usr/share/metainfo/${APP_ID}.metainfo.xml
    ./usr/share/icons/hicolor/48x48/apps/${APP_ID}.png
    ./usr/share/icons/hicolor/256x256/apps/${APP_ID}.png
    ./usr/share/man/man1/vocalume.1.gz
    ./usr/share/dbus-1/services/${APP_ID}.service
    ./usr/share/gnome-shell/search-providers/${APP_ID}.search-provider.ini
    ./usr/share/krunner/dbusplugins/${APP_ID}.desktop)
  string(FIND "${out}" " ${path}\n" at)
  if(at LESS 0)
    message(FATAL_ERROR "${path} is missing from the package")
  endif()
endforeach()

run(${DPKG_DEB} --extract "${debs}" "${work}/root")
# The bus starts the program where the package puts it.
file(READ "${work}/root/usr/share/dbus-1/services/${APP_ID}.service" service)
if(NOT service MATCHES "\nExec=/usr/bin/vocalume --servizio\n")
  message(FATAL_ERROR "the session-bus service does not start the installed program:\n${service}")
endif()
run("${work}/root/usr/bin/vocalume" --version)
if(NOT out MATCHES "^vocalume [0-9]")
  message(FATAL_ERROR "the installed program answers --version with: ${out}")
endif()
file(REMOVE_RECURSE "${work}")

# Installs into a scratch prefix and checks that every file a desktop expects is there.
file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "cmake --install failed: ${rc}")
endif()
include(GNUInstallDirs)
foreach(f ${CMAKE_INSTALL_BINDIR}/vardimo ${CMAKE_INSTALL_BINDIR}/vardimo-admin
          ${CMAKE_INSTALL_DATADIR}/applications/vardimo.desktop
          ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps/vardimo.svg
          ${CMAKE_INSTALL_MANDIR}/man1/vardimo-admin.1)
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
foreach(f ${CMAKE_INSTALL_BINDIR}/vardimo ${CMAKE_INSTALL_BINDIR}/vardimo-admin)
  execute_process(COMMAND test -x "${PREFIX}/${f}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "not executable: ${f}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")

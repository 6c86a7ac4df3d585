# Installs into a scratch prefix and checks that every file a desktop expects is there, and that
# every page the manual's contents name was installed with it.
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
          ${CMAKE_INSTALL_MANDIR}/man1/vardimo-admin.1 ${CMAKE_INSTALL_MANDIR}/man1/vardimo.1
          ${CMAKE_INSTALL_DATADIR}/metainfo/org.vardimo.Vardimo.metainfo.xml
          ${CMAKE_INSTALL_DATADIR}/vardimo/manual/index.html ${CMAKE_INSTALL_DATADIR}/vardimo/manual/manual.css)
  if(NOT EXISTS "${PREFIX}/${f}")
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
set(manual "${PREFIX}/${CMAKE_INSTALL_DATADIR}/vardimo/manual")
file(READ "${manual}/index.html" contents)
string(REGEX MATCHALL "href=\"[A-Za-z0-9_-]+\\.html\"" links "${contents}")
list(LENGTH links count)
if(count LESS 10)
  message(FATAL_ERROR "the manual's contents name only ${count} pages")
endif()
foreach(link ${links})
  string(REGEX REPLACE "href=\"(.*)\"" "\\1" page "${link}")
  if(NOT EXISTS "${manual}/${page}")
    message(FATAL_ERROR "the manual's contents name a page not installed: ${page}")
  endif()
endforeach()
foreach(f ${CMAKE_INSTALL_BINDIR}/vardimo ${CMAKE_INSTALL_BINDIR}/vardimo-admin)
  execute_process(COMMAND test -x "${PREFIX}/${f}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "not executable: ${f}")
  endif()
endforeach()
file(REMOVE_RECURSE "${PREFIX}")

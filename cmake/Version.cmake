# The program's one version number is project()'s, major.minor.revision.
# The version resource (and so the about text, which reads it), the setup
# program, the uninstall entry and the packages' file names all take it here.
if(NOT PROJECT_VERSION MATCHES "^[0-9]+\\.[0-9]+\\.[0-9]+$")
  message(FATAL_ERROR "project() needs a version of three numbers: major.minor.revision")
endif()
set(MF_VERSION ${PROJECT_VERSION})
# Windows file versions have four places; ours keeps the third at 0.
set(MF_FILE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.0.${PROJECT_VERSION_PATCH})
configure_file(${CMAKE_SOURCE_DIR}/res/Version.h.in ${CMAKE_BINARY_DIR}/res/Version.h @ONLY)

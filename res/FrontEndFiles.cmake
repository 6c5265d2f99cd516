# The front end's files beside the program: the movie the player loads and
# the compiled help. Included from shell/CMakeLists.txt.
set(MF_MOVIE ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Main.mfm)
add_custom_command(OUTPUT ${MF_MOVIE}
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/res/movie/Main.mfm ${MF_MOVIE}
  DEPENDS ${CMAKE_SOURCE_DIR}/res/movie/Main.mfm)

# chmcmd writes its output beside the project, so it compiles a copy.
find_program(MF_CHMCMD chmcmd REQUIRED)
file(GLOB MF_HELP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/help/*)
set(MF_HELP ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/Help.chm)
add_custom_command(OUTPUT ${MF_HELP}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${CMAKE_BINARY_DIR}/help
  COMMAND ${CMAKE_COMMAND} -E copy_directory ${CMAKE_SOURCE_DIR}/res/help ${CMAKE_BINARY_DIR}/help
  COMMAND ${CMAKE_COMMAND} -E chdir ${CMAKE_BINARY_DIR}/help ${MF_CHMCMD} --no-html-scan --verbosity 0 Help.hhp
  COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/help/Help.chm ${MF_HELP}
  DEPENDS ${MF_HELP_SOURCES}
  VERBATIM)

add_custom_target(marrowfin_frontend_files ALL DEPENDS ${MF_MOVIE} ${MF_HELP})

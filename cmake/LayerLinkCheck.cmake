# mf_layer_link_check(LIB): a program made of every object of the library and
# only what the library links. A program of the whole tree would satisfy a call
# into a layer above with that layer's objects; this one cannot, so such a call
# fails the build.
function(mf_layer_link_check lib)
  add_executable(${lib}_layer_link ${CMAKE_SOURCE_DIR}/cmake/LayerLinkMain.cpp)
  target_link_libraries(${lib}_layer_link PRIVATE "$<LINK_LIBRARY:WHOLE_ARCHIVE,${lib}>")
  set_target_properties(${lib}_layer_link PROPERTIES
    RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/layer-links)
endfunction()

# Google's gumbo HTML5 parser, release 0.10.1 (fetched by scripts/setup.sh into
# build/deps/gumbo), built as a static library for the target by the Windows build and
# natively, with the sanitizers, by tests/native. Each configure copies its sources
# into the build tree and applies our patches (host/gumbo-patches) there, so the
# fetched folder stays as released; changing a patch configures again.
get_filename_component(KVL_REPOSITORY ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(KVL_GUMBO_SOURCE ${KVL_REPOSITORY}/build/deps/gumbo CACHE PATH "gumbo source folder")
if(NOT EXISTS ${KVL_GUMBO_SOURCE}/src/gumbo.h)
  message(FATAL_ERROR "No gumbo source in ${KVL_GUMBO_SOURCE}: run scripts/setup.sh first")
endif()

set(kvl_gumbo_src ${CMAKE_BINARY_DIR}/deps/gumbo-src)
file(REMOVE_RECURSE ${kvl_gumbo_src})
file(COPY ${KVL_GUMBO_SOURCE}/src DESTINATION ${kvl_gumbo_src})
file(GLOB kvl_gumbo_patches ${KVL_REPOSITORY}/host/gumbo-patches/*.patch)
list(SORT kvl_gumbo_patches)
foreach(kvl_patch ${kvl_gumbo_patches})
  execute_process(COMMAND patch -p1 -s -f -d ${kvl_gumbo_src} -i ${kvl_patch} RESULT_VARIABLE kvl_patch_result)
  if(NOT kvl_patch_result EQUAL 0)
    message(FATAL_ERROR "gumbo: ${kvl_patch} does not apply")
  endif()
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${kvl_gumbo_patches} ${KVL_REPOSITORY}/host/gumbo-patches)

file(GLOB kvl_gumbo_sources ${kvl_gumbo_src}/src/*.c)
add_library(gumbo STATIC ${kvl_gumbo_sources})
set_target_properties(gumbo PROPERTIES C_STANDARD 99 C_EXTENSIONS ON)
target_include_directories(gumbo SYSTEM PUBLIC ${kvl_gumbo_src}/src)
# Not our code to change beyond the patches: its own warnings stay quiet.
target_compile_options(gumbo PRIVATE -w)
target_compile_definitions(gumbo PRIVATE NDEBUG)

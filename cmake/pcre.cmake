# PCRE 8.39 from Debian's pcre3 source (fetched by scripts/setup.sh), built once
# as a static library inside the build tree: for the target by the Windows build,
# natively (with the sanitizers in KVL_PCRE_CFLAGS) by tests/native. With its JIT
# (--enable-jit): the binding compiles every pattern to machine code. Our patches
# (regex/pcre-patches) go in before it is configured; changing or adding one rebuilds
# PCRE.
include(ExternalProject)

get_filename_component(KVL_REPOSITORY ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(KVL_PCRE_SOURCE ${KVL_REPOSITORY}/build/deps/pcre3 CACHE PATH "pcre3 source folder")
set(KVL_PCRE_CFLAGS "-O2" CACHE STRING "CFLAGS for PCRE's build")
set(KVL_PCRE_PREFIX ${CMAKE_BINARY_DIR}/deps/pcre-install)
if(NOT EXISTS ${KVL_PCRE_SOURCE}/configure)
  message(FATAL_ERROR "No PCRE source in ${KVL_PCRE_SOURCE}: run scripts/setup.sh first")
endif()
set(kvl_pcre_host)
if(KVL_TRIPLET)
  set(kvl_pcre_host --host=${KVL_TRIPLET})
endif()

ExternalProject_Add(pcre_build
  SOURCE_DIR ${KVL_PCRE_SOURCE}
  BINARY_DIR ${CMAKE_BINARY_DIR}/deps/pcre-build
  INSTALL_DIR ${KVL_PCRE_PREFIX}
  PATCH_COMMAND sh ${KVL_REPOSITORY}/scripts/patch-pcre.sh ${KVL_PCRE_SOURCE}
  CONFIGURE_COMMAND ${KVL_PCRE_SOURCE}/configure --quiet ${kvl_pcre_host}
    --disable-shared --enable-static --disable-cpp --enable-utf8 --enable-unicode-properties --enable-jit
    --disable-pcregrep-libz --disable-pcregrep-libbz2
    --prefix=<INSTALL_DIR>
    CC=${CMAKE_C_COMPILER} "CFLAGS=${KVL_PCRE_CFLAGS}"
  BUILD_COMMAND make -j2 libpcre.la
  INSTALL_COMMAND make install-libLTLIBRARIES install-includeHEADERS install-nodist_includeHEADERS
  BUILD_BYPRODUCTS ${KVL_PCRE_PREFIX}/lib/libpcre.a
  LOG_CONFIGURE ON LOG_BUILD ON LOG_INSTALL ON
)

file(GLOB kvl_pcre_patches CONFIGURE_DEPENDS ${KVL_REPOSITORY}/regex/pcre-patches/*.patch)
ExternalProject_Add_StepDependencies(pcre_build patch ${kvl_pcre_patches} ${KVL_REPOSITORY}/scripts/patch-pcre.sh)

file(MAKE_DIRECTORY ${KVL_PCRE_PREFIX}/include)
add_library(pcre STATIC IMPORTED GLOBAL)
set_target_properties(pcre PROPERTIES
  IMPORTED_LOCATION ${KVL_PCRE_PREFIX}/lib/libpcre.a
  INTERFACE_INCLUDE_DIRECTORIES ${KVL_PCRE_PREFIX}/include
  INTERFACE_COMPILE_DEFINITIONS PCRE_STATIC)
add_dependencies(pcre pcre_build)

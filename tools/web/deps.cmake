# Points an emscripten configure at the wasm libraries that tools/web/build-deps.sh built into
# SHOW_WEB_DEPS (default: build-web's own deps/ folder). Emscripten's toolchain searches only its sysroot
# (CMAKE_FIND_ROOT_PATH_MODE_* ONLY), so the prefix is added as a find root as well as a prefix; pkg-config
# sees it through CMAKE_PREFIX_PATH. Use as -DCMAKE_PROJECT_INCLUDE=<this file> or include() it.
if(NOT EMSCRIPTEN)
  return()
endif()
set(SHOW_WEB_DEPS "${CMAKE_BINARY_DIR}/deps" CACHE PATH "Prefix of the wasm libraries built by tools/web/build-deps.sh")
if(NOT EXISTS "${SHOW_WEB_DEPS}/lib/libpng16.a" OR NOT EXISTS "${SHOW_WEB_DEPS}/lib/libmpg123.a"
   OR NOT EXISTS "${SHOW_WEB_DEPS}/lib/libfftw3f.a" OR NOT EXISTS "${SHOW_WEB_DEPS}/lib/libz.a")
  message(FATAL_ERROR "No wasm libraries in ${SHOW_WEB_DEPS}: run tools/web/build-deps.sh ${SHOW_WEB_DEPS}")
endif()
list(PREPEND CMAKE_FIND_ROOT_PATH "${SHOW_WEB_DEPS}")
list(PREPEND CMAKE_PREFIX_PATH "${SHOW_WEB_DEPS}")

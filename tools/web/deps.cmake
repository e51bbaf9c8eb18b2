# Points an emscripten configure at the wasm libraries that tools/web/build-deps.sh built into
# SHOW_WEB_DEPS (default: build-web's own deps/ folder). Emscripten's toolchain searches only its sysroot
# (CMAKE_FIND_ROOT_PATH_MODE_* ONLY), so the prefix is added as a find root as well as a prefix; pkg-config
# sees it through CMAKE_PREFIX_PATH. Use as -DCMAKE_PROJECT_INCLUDE=<this file> or include() it.
if(NOT EMSCRIPTEN)
  return()
endif()
set(SHOW_WEB_DEPS "${CMAKE_BINARY_DIR}/deps" CACHE PATH "Prefix of the wasm libraries built by tools/web/build-deps.sh")
include(${CMAKE_CURRENT_LIST_DIR}/wasm_libraries.cmake)
show_wasm_libraries("${SHOW_WEB_DEPS}" wasm_libraries wasm_missing)
if(wasm_missing)
  message(FATAL_ERROR "${SHOW_WEB_DEPS} lacks ${wasm_missing}: run tools/web/build-deps.sh ${SHOW_WEB_DEPS}")
endif()
list(PREPEND CMAKE_FIND_ROOT_PATH "${SHOW_WEB_DEPS}")
list(PREPEND CMAKE_PREFIX_PATH "${SHOW_WEB_DEPS}")

# Writes OUT, defining ShowcapSourceCommit: the git commit SOURCE_DIR is checked out at, with
# "+changes" when tracked files differ from it, or "unknown" outside a git checkout. Run at every
# build, the file rewritten only when the text changes, so a new commit is never reported as the old
# one and an unchanged one rebuilds nothing.
execute_process(COMMAND git -C "${SOURCE_DIR}" rev-parse HEAD
  OUTPUT_VARIABLE commit RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(failed)
  set(commit unknown)
else()
  execute_process(COMMAND git -C "${SOURCE_DIR}" status --porcelain --untracked-files=no
    OUTPUT_VARIABLE changes ERROR_QUIET)
  if(NOT changes STREQUAL "")
    string(APPEND commit "+changes")
  endif()
endif()
set(text "// Made by source_commit.cmake at build time.\n#pragma once\nconstexpr const char* ShowcapSourceCommit = \"${commit}\";\n")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL text)
  file(WRITE "${OUT}" "${text}")
endif()

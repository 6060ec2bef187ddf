# SPDX-License-Identifier: MIT
#
# cmake -DLUPDATE=... -DTS_FILES=a.ts;b.ts -DSOURCES=dir;dir -DWORK=dir -P CheckTranslations.cmake
# Fails when a translation file is not what lupdate makes of the sources (a text was added,
# changed or removed without updating it: `cmake --build <dir> --target update_translations`), or
# when a text in it has no translation yet.
foreach(ts ${TS_FILES})
  get_filename_component(name ${ts} NAME)
  set(copy ${WORK}/${name})
  file(MAKE_DIRECTORY ${WORK})
  file(COPY_FILE ${ts} ${copy})
  execute_process(COMMAND ${LUPDATE} -silent -locations none -no-obsolete -extensions cpp,h
    ${SOURCES} -ts ${copy} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "lupdate failed on ${name}")
  endif()
  file(READ ${ts} shipped)
  file(READ ${copy} fresh)
  if(NOT shipped STREQUAL fresh)
    message(FATAL_ERROR "${name} is not up to date with the sources: build the target "
      "update_translations and translate what it adds")
  endif()
  string(REGEX MATCHALL "type=\"unfinished\"" open "${fresh}")
  list(LENGTH open count)
  if(count GREATER 0)
    message(FATAL_ERROR "${name}: ${count} texts have no translation")
  endif()
  message(STATUS "${name}: complete")
endforeach()

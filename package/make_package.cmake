# Stages the shipped files, zips them and builds the installer. Run by the vyr_package target:
#   cmake -DVERSION= -DSTAGE= -DDIST= -DZIP= -DSETUP= -DMAKENSIS= -DSCRIPT= -DICON= -DPROGRAMS=<list>
#         -P make_package.cmake
# The stage already holds the texts (README.txt, LICENSE.txt, CHANGES.txt).
set(texts README.txt LICENSE.txt CHANGES.txt)

# A package without one of its programs would install a Vyr that cannot do its work: stop instead.
set(missing)
foreach(program IN LISTS PROGRAMS)
  if(NOT EXISTS "${program}")
    list(APPEND missing "${program}")
  endif()
endforeach()
foreach(text IN LISTS texts)
  if(NOT EXISTS "${STAGE}/${text}")
    list(APPEND missing "${STAGE}/${text}")
  endif()
endforeach()
if(missing)
  list(JOIN missing "\n  " missingLines)
  message(FATAL_ERROR "Cannot package Vyr ${VERSION}: missing\n  ${missingLines}")
endif()

file(COPY ${PROGRAMS} DESTINATION "${STAGE}")
set(names)
foreach(program IN LISTS PROGRAMS)
  get_filename_component(name "${program}" NAME)
  list(APPEND names "${name}")
endforeach()
list(APPEND names ${texts})

file(MAKE_DIRECTORY "${DIST}")
file(REMOVE "${ZIP}" "${SETUP}")
execute_process(COMMAND ${CMAKE_COMMAND} -E tar cf "${ZIP}" --format=zip -- ${names}
                WORKING_DIRECTORY "${STAGE}" RESULT_VARIABLE zipped)
if(NOT zipped EQUAL 0)
  message(FATAL_ERROR "Could not write ${ZIP}")
endif()

execute_process(COMMAND "${MAKENSIS}" -V2 -DVERSION=${VERSION} -DSTAGE=${STAGE} -DICON=${ICON}
                        -DOUTFILE=${SETUP} "${SCRIPT}"
                RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "makensis could not build ${SETUP}")
endif()

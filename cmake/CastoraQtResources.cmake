# The resource bundle of a program's windows: images made by the build, style sheets
# and the translations compiled from their .ts catalogues, under ":/image/<name>",
# ":/qss/<name>" and ":/language/<lang>.qm".
#
# castora_qt_resources(<object library>
#   NAME <rcc name>                      # the bundle's name (its init function's suffix)
#   BUILD_DIR <dir>                      # the .qrc and language/<lang>.qm go here
#   TRANSLATIONS_DIR <dir>               # holds <lang>.ts for each language
#   LANGUAGES <lang>...
#   [IMAGES <file>...]                   # files made by the build
#   [STYLE_SHEETS <file>...]
#   [WHOSE <text>])                      # "the client's", for the build's messages
#
# rcc is called directly: the bundle's files are made by the build, which AUTORCC's
# scan at configure time cannot see. The caller must have found Qt5 Core.
function(castora_qt_resources target)
  cmake_parse_arguments(ARG "" "NAME;BUILD_DIR;TRANSLATIONS_DIR;WHOSE"
                        "LANGUAGES;IMAGES;STYLE_SHEETS" ${ARGN})
  find_program(CASTORA_LRELEASE NAMES lrelease lrelease-qt5 REQUIRED
               HINTS /usr/lib/qt5/bin /usr/lib/x86_64-linux-gnu/qt5/bin)

  set(qm_outputs "")
  foreach(lang IN LISTS ARG_LANGUAGES)
    set(ts ${ARG_TRANSLATIONS_DIR}/${lang}.ts)
    set(qm ${ARG_BUILD_DIR}/language/${lang}.qm)
    add_custom_command(
      OUTPUT ${qm}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${ARG_BUILD_DIR}/language
      COMMAND ${CASTORA_LRELEASE} -silent ${ts} -qm ${qm}
      DEPENDS ${ts}
      COMMENT "Compiling ${ARG_WHOSE} ${lang} catalogue"
      VERBATIM)
    list(APPEND qm_outputs ${qm})
  endforeach()

  set(qrc_entries "")
  foreach(kind image qss language)
    if(kind STREQUAL "image")
      set(files ${ARG_IMAGES})
    elseif(kind STREQUAL "qss")
      set(files ${ARG_STYLE_SHEETS})
    else()
      set(files ${qm_outputs})
    endif()
    foreach(file IN LISTS files)
      get_filename_component(name ${file} NAME)
      string(APPEND qrc_entries "    <file alias=\"${kind}/${name}\">${file}</file>\n")
    endforeach()
  endforeach()
  set(qrc_file ${ARG_BUILD_DIR}/${ARG_NAME}.qrc)
  file(WRITE ${qrc_file}.in "<RCC>\n  <qresource prefix=\"/\">\n${qrc_entries}  </qresource>\n</RCC>\n")
  configure_file(${qrc_file}.in ${qrc_file} COPYONLY)  # rewritten only when it changes

  set(qrc_source ${CMAKE_CURRENT_BINARY_DIR}/qrc_${ARG_NAME}.cpp)
  add_custom_command(
    OUTPUT ${qrc_source}
    COMMAND Qt5::rcc --name ${ARG_NAME} --output ${qrc_source} ${qrc_file}
    DEPENDS ${qrc_file} ${ARG_IMAGES} ${ARG_STYLE_SHEETS} ${qm_outputs}
    COMMENT "Bundling ${ARG_WHOSE} resources"
    VERBATIM)
  add_library(${target} OBJECT ${qrc_source})
  target_link_libraries(${target} PRIVATE Qt5::Core)
endfunction()

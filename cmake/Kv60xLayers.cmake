# One static library per folder under src/, and one for the widgets/ part of a
# folder that has one. A library sees, and links, only the folders its
# folder's README.md names:
#
#   May depend on: `files/`, `serial/`, Qt Core.              (the core part)
#   Widgets may depend on: `session/`, `ui/`, Qt Widgets.     (the widgets/ part)
#
# A backticked `name/` is the core part of src/name, `name/widgets/` its widgets
# part. Each library compiles against a folder of its own in the build tree
# that holds links to the headers of its folder and of the folders named, and
# nothing else, so that including a header of any other folder fails the
# build. `HIDE` names headers left out of a library's view although their
# folder is named; every widgets part has the driver hidden (windows reach the
# meter through the session).
#
# kv60x_folder_library(FOLDER app [WIDGETS] SOURCES ... [LIBS ...] [HIDE meter/x.h ...])

set(KV60X_SRC ${PROJECT_SOURCE_DIR}/src)
set(KV60X_VIEWS ${PROJECT_BINARY_DIR}/include-views)

# The folders a README line names, as "name" or "name/widgets".
function(kv60x_readme_uses folder widgets out)
  set(readme ${KV60X_SRC}/${folder}/README.md)
  if(NOT EXISTS ${readme})
    message(FATAL_ERROR "${readme} is missing: it says what ${folder}/ may depend on")
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${readme})
  file(READ ${readme} text)
  # One line per part; paragraphs may wrap it, so join the lines first.
  string(REPLACE "\n" " " text "${text}")
  if(widgets)
    set(key "Widgets may depend on:")
  else()
    set(key "May depend on:")
  endif()
  string(FIND "${text}" "${key}" at)
  if(at LESS 0)
    message(FATAL_ERROR "${readme} has no \"${key}\" line")
  endif()
  string(SUBSTRING "${text}" ${at} -1 rest)
  string(LENGTH "${key}" keylen)
  string(SUBSTRING "${rest}" ${keylen} -1 rest)
  # The line ends at its full stop followed by a blank (or the end).
  string(REGEX REPLACE "\\.( .*)?$" "" line "${rest}")
  string(REGEX MATCHALL "`[a-z_]+/(widgets/)?`" names "${line}")
  set(uses "")
  foreach(n IN LISTS names)
    string(REGEX REPLACE "[`]" "" n "${n}")
    string(REGEX REPLACE "/$" "" n "${n}")
    list(APPEND uses ${n})
  endforeach()
  set(${out} ${uses} PARENT_SCOPE)
endfunction()

# Links the headers of one folder part ("name" or "name/widgets") into `view`.
function(kv60x_view_part view part hide)
  file(GLOB headers CONFIGURE_DEPENDS ${KV60X_SRC}/${part}/*.h)
  foreach(h IN LISTS headers)
    file(RELATIVE_PATH rel ${KV60X_SRC} ${h})
    if(rel IN_LIST hide)
      continue()
    endif()
    get_filename_component(dir ${view}/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    if(NOT EXISTS ${view}/${rel})
      file(CREATE_LINK ${h} ${view}/${rel} SYMBOLIC)
    endif()
  endforeach()
endfunction()

function(kv60x_library_name part out)
  string(REPLACE "/" "_" n "${part}")
  set(${out} kv60x_${n} PARENT_SCOPE)
endfunction()

function(kv60x_folder_library)
  cmake_parse_arguments(L "WIDGETS" "FOLDER" "SOURCES;LIBS;HIDE" ${ARGN})
  if(L_WIDGETS)
    set(part ${L_FOLDER}/widgets)
  else()
    set(part ${L_FOLDER})
  endif()
  kv60x_library_name(${part} name)
  kv60x_readme_uses(${L_FOLDER} "${L_WIDGETS}" uses)

  # Windows reach the meter through the session alone: no widgets part sees
  # the driver, whatever its README allows.
  if(L_WIDGETS)
    list(APPEND L_HIDE meter/kv60x_driver.h)
  endif()
  set(view ${KV60X_VIEWS}/${name})
  file(REMOVE_RECURSE ${view})
  file(MAKE_DIRECTORY ${view})
  set(parts ${part})
  # The widgets part always sees its own folder's core part (made before it).
  if(L_WIDGETS AND TARGET kv60x_${L_FOLDER})
    list(APPEND parts ${L_FOLDER})
  endif()
  list(APPEND parts ${uses})
  list(REMOVE_DUPLICATES parts)
  foreach(p IN LISTS parts)
    kv60x_view_part(${view} ${p} "${L_HIDE}")
  endforeach()

  add_library(${name} STATIC ${L_SOURCES})
  target_include_directories(${name} PRIVATE ${view} ${PROJECT_BINARY_DIR}/generated)
  foreach(u IN LISTS uses)
    kv60x_library_name(${u} dep)
    target_link_libraries(${name} PUBLIC ${dep})
  endforeach()
  if(L_WIDGETS AND TARGET kv60x_${L_FOLDER})
    target_link_libraries(${name} PUBLIC kv60x_${L_FOLDER})
  endif()
  target_link_libraries(${name} PUBLIC ${L_LIBS})
  set_property(GLOBAL APPEND PROPERTY KV60X_FOLDER_LIBRARIES ${name})
endfunction()

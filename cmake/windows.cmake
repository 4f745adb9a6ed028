# What the Windows programs share: the static runtime, the Windows version the code is written
# for, every program in one folder (tests find the programs they start beside themselves), the
# programs' resources, and GoogleTest built from Debian's sources.
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(WINVER=0x0601 _WIN32_WINNT=0x0601 NOMINMAX)
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
set(CMAKE_LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)
enable_language(RC)

find_package(Python3 REQUIRED COMPONENTS Interpreter)

# Morvane's icon (16 and 32 pixels), drawn from the source the repository keeps.
set(MORVANE_ICON ${CMAKE_BINARY_DIR}/art/Morvane.ico)
add_custom_command(
  OUTPUT ${MORVANE_ICON}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/art
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/art/make_icon.py
          ${PROJECT_SOURCE_DIR}/art/morvane-icon.txt ${MORVANE_ICON} 32 16
  DEPENDS ${PROJECT_SOURCE_DIR}/art/make_icon.py ${PROJECT_SOURCE_DIR}/art/morvane-icon.txt
  COMMENT "Drawing Morvane.ico")
add_custom_target(morvane_icon DEPENDS ${MORVANE_ICON})

# The files delivered beside the programs: the 16- and 32-pixel icons of the command that the
# integration dialog defines in ACT!, and the start-up macro.
set(MORVANE_DELIVERED ${CMAKE_BINARY_DIR}/bin/Morvane.ico ${CMAKE_BINARY_DIR}/bin/Morvane32.ico
                      ${CMAKE_BINARY_DIR}/bin/Morvane.mpr)
add_custom_command(
  OUTPUT ${MORVANE_DELIVERED}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/art/make_icon.py
          ${PROJECT_SOURCE_DIR}/art/morvane-icon.txt ${CMAKE_BINARY_DIR}/bin/Morvane.ico 16
  COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/art/make_icon.py
          ${PROJECT_SOURCE_DIR}/art/morvane-icon.txt ${CMAKE_BINARY_DIR}/bin/Morvane32.ico 32
  COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/apps/Morvane.mpr
          ${CMAKE_BINARY_DIR}/bin/Morvane.mpr
  DEPENDS ${PROJECT_SOURCE_DIR}/art/make_icon.py ${PROJECT_SOURCE_DIR}/art/morvane-icon.txt
          ${PROJECT_SOURCE_DIR}/apps/Morvane.mpr
  COMMENT "Writing the files delivered beside the programs")
add_custom_target(morvane_delivered_files ALL DEPENDS ${MORVANE_DELIVERED})

# morvane_windows_resources(<target> DESCRIPTION <text> [ICON] [MANIFEST] [TYPELIB <file>])
# Version information (file and product version from the project), optionally Morvane's icon as
# icon 1, the application manifest (common controls 6, DPI aware) and a type library as TYPELIB 1.
function(morvane_windows_resources target)
  cmake_parse_arguments(R "ICON;MANIFEST" "DESCRIPTION;TYPELIB" "" ${ARGN})
  get_target_property(type ${target} TYPE)
  if(type STREQUAL "SHARED_LIBRARY")
    set(RC_FILETYPE VFT_DLL)
    set(RC_EXTENSION dll)
  else()
    set(RC_FILETYPE VFT_APP)
    set(RC_EXTENSION exe)
  endif()
  get_target_property(output ${target} OUTPUT_NAME)
  if(NOT output)
    set(output ${target})
  endif()
  set(RC_NAME ${output})
  set(RC_DESCRIPTION ${R_DESCRIPTION})
  set(RC_ICON "")
  set(RC_MANIFEST "")
  set(RC_TYPELIB "")
  if(R_TYPELIB)
    set(RC_TYPELIB "1 TYPELIB \"${R_TYPELIB}\"")
  endif()
  if(R_ICON)
    set(RC_ICON "1 ICON \"${MORVANE_ICON}\"")
  endif()
  if(R_MANIFEST)
    set(RC_MANIFEST "1 24 \"${PROJECT_SOURCE_DIR}/cmake/morvane.manifest\"")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_resources.rc)
  configure_file(${PROJECT_SOURCE_DIR}/cmake/resources.rc.in ${rc} @ONLY)
  if(R_ICON)
    add_dependencies(${target} morvane_icon)
    set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS ${MORVANE_ICON})
  endif()
  if(R_TYPELIB)
    set_property(SOURCE ${rc} APPEND PROPERTY OBJECT_DEPENDS ${R_TYPELIB})
  endif()
  target_sources(${target} PRIVATE ${rc})
endfunction()

# GoogleTest from the sources Debian's googletest package ships.
set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

# Fails when a file under CORE_DIR includes a Qt header (<Q...>, <Qt...>) or a
# header of the layers above the core (gui/, cli/, common/).
file(GLOB_RECURSE _files "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")
set(_bad "")
foreach(_f IN LISTS _files)
  file(STRINGS "${_f}" _lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q|gui/|cli/|common/)")
  foreach(_l IN LISTS _lines)
    file(RELATIVE_PATH _rel "${CORE_DIR}" "${_f}")
    string(APPEND _bad "  core/${_rel}: ${_l}\n")
  endforeach()
endforeach()
if(_bad)
  message(FATAL_ERROR "core/ must build with the standard library only:\n${_bad}")
endif()

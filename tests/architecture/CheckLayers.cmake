# The folders' dependencies point one way: the window and the tool reach a unit only through the
# unit library (unit/), never the HID code under it or the service modules under that. Fails,
# naming each file and line, when a source of app/, cli/ or history/ includes a header of hid/ or
# platform/. Run as: cmake -DROOT=<source folder> -P CheckLayers.cmake
if(NOT ROOT)
  message(FATAL_ERROR "ROOT: the source folder")
endif()
set(found "")
foreach(folder app cli history)
  file(GLOB_RECURSE sources "${ROOT}/${folder}/*.cpp" "${ROOT}/${folder}/*.h")
  foreach(source IN LISTS sources)
    file(STRINGS "${source}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](hid|platform)/")
    foreach(line IN LISTS lines)
      file(RELATIVE_PATH name "${ROOT}" "${source}")
      string(APPEND found "  ${name}: ${line}\n")
    endforeach()
  endforeach()
endforeach()
if(found)
  message(FATAL_ERROR "the window and the tool reach past unit/ into the HID code:\n${found}")
endif()

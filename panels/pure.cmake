# Files of panels/ that include no windows.h (built natively too). Shared by
# the listing code and the panel code; a file not there yet is skipped.
foreach(f
    panels/EntryBuild.cpp
    panels/Sort.cpp
    panels/FilterMatch.cpp
    panels/Location.cpp
    panels/PanelList.cpp
    panels/PanelIter.cpp
    panels/PanelNav.cpp
    panels/PanelCarry.cpp
    panels/KeyTables.cpp
    panels/PanelCompare.cpp
    panels/IconClass.cpp)
  if(EXISTS ${VANDRELL_ROOT}/${f})
    list(APPEND KESTROM_PURE_SOURCES ${f})
  endif()
endforeach()

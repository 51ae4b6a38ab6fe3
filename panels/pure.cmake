list(APPEND KESTROM_PURE_SOURCES
  panels/EntryBuild.cpp
  panels/Sort.cpp
  panels/FilterMatch.cpp
  panels/Location.cpp)

list(APPEND KESTROM_PURE_SOURCES
  fileops/PathParts.cpp
  fileops/RenameMask.cpp
  fileops/FreeSpace.cpp
  fileops/CaseMask.cpp
  fileops/JobMath.cpp)

list(APPEND KESTROM_PURE_SOURCES
  fileops/CaseMask.cpp
  fileops/JobMath.cpp)

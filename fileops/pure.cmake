list(APPEND KESTROM_PURE_SOURCES
  fileops/PathParts.cpp
  fileops/RenameMask.cpp
  fileops/FreeSpace.cpp
  fileops/CaseMask.cpp
  fileops/JobMath.cpp)
list(APPEND KESTROM_PURE_SOURCES
  fileops/Checksum.cpp
  fileops/SumList.cpp
  fileops/LineEnds.cpp
  fileops/UuCode.cpp
  fileops/FileTools.cpp
  fileops/AttrRules.cpp)
list(APPEND KESTROM_PURE_SOURCES fileops/SyncCompare.cpp)
list(APPEND KESTROM_PURE_SOURCES fileops/DiskImage.cpp)

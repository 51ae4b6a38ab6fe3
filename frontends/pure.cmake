list(APPEND KESTROM_PURE_SOURCES
  frontends/PackerImage.cpp)

# Sources of tools/ that include no windows.h. One line per file.
list(APPEND KESTROM_PURE_SOURCES tools/HexFormat.cpp)
list(APPEND KESTROM_PURE_SOURCES tools/TextCodec.cpp)
list(APPEND KESTROM_PURE_SOURCES tools/DiffCore.cpp)
list(APPEND KESTROM_PURE_SOURCES tools/HtmlRefs.cpp)
list(APPEND KESTROM_PURE_SOURCES tools/DropTarget.cpp)
list(APPEND KESTROM_PURE_SOURCES tools/RunLine.cpp)

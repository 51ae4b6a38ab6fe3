# Sources of app/ that include no windows.h: they also build natively for the
# sanitizer tests. Add a line per file; never rewrite the list.
list(APPEND KESTROM_PURE_SOURCES app/Memory.cpp)
list(APPEND KESTROM_PURE_SOURCES app/Strings.cpp)
list(APPEND KESTROM_PURE_SOURCES app/Paths.cpp)
list(APPEND KESTROM_PURE_SOURCES app/Numbers.cpp)
list(APPEND KESTROM_PURE_SOURCES app/DateTime.cpp)

# Sources of app/ that include no windows.h: they also build natively for the
# sanitizer tests. Add one line per file; never rewrite the list. (The
# helpers below the program build natively from base/ and wingui/.)
list(APPEND KESTROM_PURE_SOURCES app/LanguageFile.cpp)
list(APPEND KESTROM_PURE_SOURCES app/StartupArgs.cpp)
list(APPEND KESTROM_PURE_SOURCES app/bars/BarLayout.cpp)

# A file listed before it is in the tree must not break the configuration.
foreach(pure_file IN LISTS KESTROM_PURE_SOURCES)
  if(pure_file MATCHES "^app/" AND NOT EXISTS ${VANDRELL_ROOT}/${pure_file})
    list(REMOVE_ITEM KESTROM_PURE_SOURCES ${pure_file})
  endif()
endforeach()

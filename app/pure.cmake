# Sources of app/ that include no windows.h: they also build natively for the
# sanitizer tests. Add one line per file; never rewrite the list.
list(APPEND KESTROM_PURE_SOURCES app/Memory.cpp)
list(APPEND KESTROM_PURE_SOURCES app/Strings.cpp)
list(APPEND KESTROM_PURE_SOURCES app/Paths.cpp)
list(APPEND KESTROM_PURE_SOURCES app/Numbers.cpp)
list(APPEND KESTROM_PURE_SOURCES app/DateTime.cpp)
list(APPEND KESTROM_PURE_SOURCES app/Texts.cpp)
list(APPEND KESTROM_PURE_SOURCES app/TextFormat.cpp)
list(APPEND KESTROM_PURE_SOURCES app/LanguageFile.cpp)
list(APPEND KESTROM_PURE_SOURCES app/SettingsValues.cpp)
list(APPEND KESTROM_PURE_SOURCES app/StartupArgs.cpp)
list(APPEND KESTROM_PURE_SOURCES app/ParamExpand.cpp)
list(APPEND KESTROM_PURE_SOURCES app/Colors.cpp)
list(APPEND KESTROM_PURE_SOURCES app/ListColumns.cpp)
list(APPEND KESTROM_PURE_SOURCES app/BarLayout.cpp)

# A file listed before it is in the tree must not break the configuration.
foreach(pure_file IN LISTS KESTROM_PURE_SOURCES)
  if(pure_file MATCHES "^app/" AND NOT EXISTS ${VANDRELL_ROOT}/${pure_file})
    list(REMOVE_ITEM KESTROM_PURE_SOURCES ${pure_file})
  endif()
endforeach()

# boxmodel_library(name SOURCES... [LINK deps...] [PRIVATE_LINK deps...]):
# one folder's library, `boxmodel::name` for everyone else. Its headers are
# included by their folder ("run/run.hpp"). Libraries linked into the Python
# module are built position-independent; the programs are not.
function(boxmodel_library name)
  cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "SOURCES;LINK;PRIVATE_LINK")
  add_library(${name} ${arg_SOURCES})
  add_library(boxmodel::${name} ALIAS ${name})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${arg_LINK} PRIVATE ${arg_PRIVATE_LINK})
  if(boxmodel_python_module)
    set_target_properties(${name} PROPERTIES POSITION_INDEPENDENT_CODE ON)
    # Position-independent code without giving up inlining within a library.
    target_compile_options(${name} PRIVATE -fno-semantic-interposition)
  endif()
endfunction()

# The .cpp files of the calling folder.
macro(boxmodel_folder_sources var)
  file(GLOB ${var} CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
endmacro()

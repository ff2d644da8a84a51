# The generators that run during the build (ImageGen draws the images,
# help-pdf renders the manual) must run on the build machine. When cross-
# building they are built natively in a sub-build against Debian's Qt, and
# stand here as imported executables under their usual target names.
include(ExternalProject)
set(UA_HOST_TOOLS_DIR ${CMAKE_BINARY_DIR}/host-tools)
set(UA_HOST_LAUNCHER)
if(CMAKE_CXX_COMPILER_LAUNCHER)
    set(UA_HOST_LAUNCHER -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER})
endif()
ExternalProject_Add(ua_host_tools
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/cmake/host-tools
    BINARY_DIR ${UA_HOST_TOOLS_DIR}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DUA_SOURCE_DIR=${CMAKE_SOURCE_DIR}
        -DCMAKE_TOOLCHAIN_FILE= ${UA_HOST_LAUNCHER}
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${UA_HOST_TOOLS_DIR}/ImageGen ${UA_HOST_TOOLS_DIR}/help-pdf)
foreach(tool ImageGen help-pdf)
    add_executable(${tool} IMPORTED GLOBAL)
    set_target_properties(${tool} PROPERTIES IMPORTED_LOCATION ${UA_HOST_TOOLS_DIR}/${tool})
endforeach()

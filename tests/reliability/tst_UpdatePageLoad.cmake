target_include_directories(${name} PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/update)
set_tests_properties(${name} PROPERTIES TIMEOUT 1200)

# Installs the build tree into a temporary prefix with cmake --install.
add_dependencies(tst_Installation UpdateAssist help_pdfs)
target_compile_definitions(tst_Installation PRIVATE UA_CMAKE_COMMAND="${CMAKE_COMMAND}")
set_tests_properties(tst_Installation PROPERTIES LABELS product)

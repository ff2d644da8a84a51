# scripts/run-demo with the tools of this build.
add_dependencies(tst_RunDemo UpdateAssist update-server device-sim record-gen demo-files)
set_tests_properties(tst_RunDemo PROPERTIES TIMEOUT 600 LABELS product)

# The test reads the rule copied beside the program.
add_dependencies(tst_deviceudevrules driver-files)

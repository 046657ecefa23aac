# The file commands clear and read the program's registry key.
set_tests_properties(e2e_file_commands_test PROPERTIES RESOURCE_LOCK "vellmorant_app_key")

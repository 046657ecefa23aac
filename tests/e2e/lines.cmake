# The program keeps its settings under one registry key that these tests clear: tests that use
# it take turns.
set_tests_properties(e2e_lines_test PROPERTIES RESOURCE_LOCK "vellmorant_app_key")

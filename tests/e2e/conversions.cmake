# The program keeps its settings under one registry key that this test clears.
set_tests_properties(e2e_conversions_test PROPERTIES RESOURCE_LOCK "vellmorant_app_key")

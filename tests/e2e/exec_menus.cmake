# The program keeps its settings and menus under one registry key that these tests clear.
set_tests_properties(e2e_exec_menus_test PROPERTIES RESOURCE_LOCK "vellmorant_app_key")

# The toolbar test starts the program on its registry key, which it clears: it takes turns.
set_tests_properties(e2e_toolbar_test PROPERTIES RESOURCE_LOCK vellmorant_app_key)

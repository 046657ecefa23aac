# The folder dialog test copies to the clipboard and clears the program's registry key.
set_tests_properties(e2e_path_dialog_test PROPERTIES RESOURCE_LOCK "clipboard;vellmorant_app_key")

# The folder dialog test copies to the clipboard and clears the program's registry key.
set_tests_properties(e2e_path_dialog_test PROPERTIES RESOURCE_LOCK "clipboard;vellmorant_app_key")
# It types keys into the dialog: another test's window must not take the activation meanwhile.
set_tests_properties(e2e_path_dialog_test PROPERTIES RUN_SERIAL TRUE)

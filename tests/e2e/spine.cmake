# The program keeps its settings under one registry key (HKCU\Software\QV\Vellmorant) that these
# tests start the program on and clear: they take turns with every other test that does.
set_tests_properties(e2e_spine_app_test e2e_spine_session_test e2e_spine_fill_test PROPERTIES
                     RESOURCE_LOCK vellmorant_app_key)
# The focus test needs the display to itself: a window that another test shows takes the
# activation away from the program and its panes refuse to hand on the focus meanwhile.
set_tests_properties(e2e_spine_app_test PROPERTIES RUN_SERIAL TRUE)

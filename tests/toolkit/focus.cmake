# These tests check where the keyboard focus goes; they need the display to themselves, since a
# window that another test shows takes the activation away.
set_tests_properties(toolkit_browse_pane_test toolkit_colorlist_test toolkit_pathcombo_test toolkit_progress_test
                     PROPERTIES RUN_SERIAL TRUE)

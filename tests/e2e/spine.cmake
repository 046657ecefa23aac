# The program's end-to-end tests share the program's registry key: none runs beside another test.
set_tests_properties(e2e_spine_app_test e2e_spine_session_test PROPERTIES RUN_SERIAL TRUE)

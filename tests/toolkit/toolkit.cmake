# The toolbar and bitmap tests load their resources from the test program.
target_sources(toolkit_toolbar_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/toolkit.rc)
target_sources(toolkit_helpers_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/toolkit.rc)
target_sources(toolkit_toolbarex_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/toolkit.rc)

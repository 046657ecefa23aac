# The menu icon tests load a toolbar resource and its bitmap from the test program.
target_sources(app_menuicons_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/menuicons.rc)

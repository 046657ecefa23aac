# The document/frame tests load their template (menu, accelerators, strings) from resources.
target_sources(framework_docframe_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/docframe.rc)

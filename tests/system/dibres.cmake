# The DIB loader test needs bitmap resources: an executable of its own with a resource script.
vm_test(system_dibres_test SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/res/dibres_check.cpp
        ${CMAKE_CURRENT_SOURCE_DIR}/res/dibres.rc ${support} DEPS vm_system LABELS system)
target_include_directories(system_dibres_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/res)
set_target_properties(system_dibres_test PROPERTIES OUTPUT_NAME dibres_test)

# The archive's tests: a resource archive inside the read test, and peer checks of archives that
# archive_tool writes and reads against Info-ZIP, 7z and Python's zipfile.
target_sources(zip_archive_read_test PRIVATE ${CMAKE_CURRENT_SOURCE_DIR}/archive_res.rc)

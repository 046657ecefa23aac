# The command texts test reads the string table of the built program.
add_dependencies(app_command_texts_test Vellmorant)

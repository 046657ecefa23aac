// The files that a search could not search, and the message the program shows after the search.
#pragma once

#include <string>

#include "system/SkippedFiles.h"

// "%i Dateien konnten nicht durchsucht werden:" with the files (see FormatSkippedFiles).
std::string FormatSkippedMessage(const CSkippedFiles& skipped, int maxShown = 20);

// The message about the files a search could not search.
#include "app/SkippedFiles.h"

std::string FormatSkippedMessage(const CSkippedFiles& skipped, int maxShown)
{
    return FormatSkippedFiles(skipped, "durchsucht", maxShown);
}

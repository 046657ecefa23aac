// The files a command could not handle, and the message about them.
#include "system/SkippedFiles.h"

#include <cstdio>

void CSkippedFiles::Clear()
{
    m_nCount = 0;
    m_kept.clear();
}

void CSkippedFiles::Add(const char* path, int reason)
{
    if (reason == SKIP_NONE)
        return;
    ++m_nCount;
    if ((int)m_kept.size() < MaxKept)
        m_kept.push_back(Entry{path ? path : "", reason});
}

const char* SkipReasonText(int reason)
{
    switch (reason) {
    case SKIP_OPEN: return "kann nicht ge\xF6" "ffnet werden";
    case SKIP_READ: return "kann nicht gelesen werden";
    case SKIP_TOO_LARGE: return "ist 2 GB gro\xDF oder gr\xF6\xDF" "er";
    case SKIP_SAME_NAME: return "hat im Archiv denselben Namen wie eine andere Datei";
    default: return "";
    }
}

std::string FormatSkippedFiles(const CSkippedFiles& skipped, const char* done, int maxShown)
{
    const int count = skipped.Count();
    if (count <= 0)
        return std::string();
    char head[128];
    if (count == 1)
        snprintf(head, sizeof head, "1 Datei konnte nicht %s werden:\n", done);
    else
        snprintf(head, sizeof head, "%i Dateien konnten nicht %s werden:\n", count, done);
    std::string text = head;
    int shown = 0;
    for (const CSkippedFiles::Entry& e : skipped.Kept()) {
        if (shown == maxShown)
            break;
        text += "\n" + e.path + ": " + SkipReasonText(e.reason);
        ++shown;
    }
    if (shown < count)
        text += "\n\x85";
    return text;
}

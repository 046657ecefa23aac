// The files that a command could not handle (search, pack): how many there were, and the first
// ones with the reason, for the one message the program shows afterwards.
#pragma once

#include <string>
#include <vector>

// Why a listed file was left out.
enum SearchSkipReason {
    SKIP_NONE = 0,
    SKIP_OPEN = 1,       // the file cannot be opened (locked, vanished, denied)
    SKIP_READ = 2,       // it cannot be read or mapped
    SKIP_TOO_LARGE = 3,  // it is 2 GB or larger: hit positions would not fit
    SKIP_SAME_NAME = 4,  // another listed file already has its name in the archive
};

class CSkippedFiles {
public:
    enum { MaxKept = 100 };
    struct Entry {
        std::string path;
        int reason;
    };

    void Clear();
    // Counts a file; the first MaxKept keep their path and reason. reason SKIP_NONE is ignored.
    void Add(const char* path, int reason);
    int Count() const { return m_nCount; }
    const std::vector<Entry>& Kept() const { return m_kept; }

private:
    int m_nCount = 0;
    std::vector<Entry> m_kept;
};

// The German reason text ("kann nicht geöffnet werden", ...); "" for SKIP_NONE.
const char* SkipReasonText(int reason);
// The message about the skipped files of a command whose German participle is done ("durchsucht",
// "gepackt"): "%i Dateien konnten nicht <done> werden:" (one file: "1 Datei konnte ..."), an
// empty line, then up to maxShown lines "path: reason" and a line "…" when more were skipped.
// "" when nothing was skipped.
std::string FormatSkippedFiles(const CSkippedFiles& skipped, const char* done, int maxShown = 20);

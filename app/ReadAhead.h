// Read-ahead for a search that walks files in order: two reader threads open and read the next
// files while the search works on the current one, so that the wait for the system's file
// reads overlaps the search; for the files the file cache holds, one thread reads their
// attributes ahead. Memory stays bounded: at most kFiles files and kBytes bytes are held ahead
// of the search, plus the file each reader is reading.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "app/ResultStamps.h"
#include "system/Files.h"
#include "system/WinHandle.h"

class CReadAhead {
public:
    enum { kFiles = 16, kThreads = 2 };
    static const DWORD kBytes = 32u << 20;

    // paths: the files to read, in the order the search takes them (empty: nothing to read,
    // and no reader starts); files the search has already are left out by the caller, so that
    // it never waits for them. maxSize: larger files are left to the search. Each file's stamp
    // is read before its bytes.
    CReadAhead(std::vector<std::string> paths, DWORD maxSize);
    ~CReadAhead();   // stops the readers; bytes not taken are freed
    CReadAhead(const CReadAhead&) = delete;
    CReadAhead& operator=(const CReadAhead&) = delete;

    // File i's bytes; files must be taken in order, each once (i = 0, 1, 2...). Waits until
    // the file is read. true: *data (malloc'd, the caller frees it), its size (> 0) and stamp;
    // false: the file was skipped, empty, too large or could not be read: the caller reads it
    // itself as it would without read-ahead (it also does when no reader could start).
    bool Take(int i, unsigned char** data, DWORD* size, FileStamp* stamp);

private:
    struct Slot {
        int index = -1;          // the file this slot holds (or is being read into)
        bool done = false;       // read (or given up)
        unsigned char* data = nullptr;
        DWORD size = 0;
        FileStamp stamp;
    };

    static DWORD WINAPI ReaderProc(void* self);
    void Reader();
    void ReadOne(int i, Slot& out) const;

    std::vector<std::string> m_paths;
    DWORD m_maxSize;
    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_readerWake = CONDITION_VARIABLE_INIT;  // room ahead, or stop
    CONDITION_VARIABLE m_takerWake = CONDITION_VARIABLE_INIT;   // a file is read
    Slot m_slots[kFiles];
    int m_next = 0;       // the next file a reader claims
    int m_taken = 0;      // files the search has taken
    DWORD m_held = 0;     // bytes read and not yet taken
    bool m_stop = false;
    bool m_running = false;   // a reader thread started (else Take always says no)
    CWinHandle m_threads[kThreads];
};

// The attributes of the files a search takes from the file cache, read ahead by one thread:
// the check that a copy is still current costs more than searching a small file. The search
// reads a file's attributes itself when the thread has not claimed it yet, so it never waits
// for a file the thread has not started; the thread stays at most kAhead files ahead.
class CStatAhead {
public:
    enum { kAhead = 256, kMinFiles = 64 };

    // paths: the files in the order the search takes them; with fewer than kMinFiles no thread
    // starts (Get then reads each file's attributes itself).
    explicit CStatAhead(std::vector<std::string> paths);
    ~CStatAhead();   // stops the thread
    CStatAhead(const CStatAhead&) = delete;
    CStatAhead& operator=(const CStatAhead&) = delete;

    // File i's attributes as FileStat reads them (its result code returned, info set when 0);
    // files must be asked for in order, each once.
    int Get(int i, FileInfo* info);

private:
    enum State { kFree, kBusy, kDone };
    static DWORD WINAPI ThreadProc(void* self);
    void Run();

    std::vector<std::string> m_paths;
    std::unique_ptr<std::atomic<int>[]> m_state;
    std::vector<FileInfo> m_info;
    std::vector<int> m_result;
    std::atomic<int> m_taken{0};
    std::atomic<bool> m_stop{false};
    CWinHandle m_thread;
};

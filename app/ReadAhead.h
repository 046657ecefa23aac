// Read-ahead for the commands that walk files in order: reader threads work on the next files
// while the command works on the current one, so that the wait for the system's file calls
// overlaps it (CAheadQueue). The search's readers open and read the next files (CReadAhead);
// for the files the file cache holds, one thread reads their attributes ahead. Memory stays
// bounded: at most kFiles files and kBytes bytes are held ahead of the search, plus the file
// each reader is reading.
#pragma once

#include <windows.h>

#include <stdint.h>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/ResultStamps.h"
#include "system/Files.h"
#include "system/WinHandle.h"

// Numbered items worked on ahead, in order, by reader threads, and taken in the same order
// by one thread. At most window items are done or under way ahead of the taker, and readers
// claim no further item while the items done hold maxHeld bytes or more. The taker and the
// readers meet under one lock, twice per item each side.
class CAheadQueue {
public:
    enum { kMaxThreads = 4 };
    // Does item into slot (0 <= slot < window) on the reader thread with the given number
    // (0 <= reader < threads); returns the bytes it holds in the slot until the item is taken.
    // Work that can last long gives up once *stop turns nonzero (the queue is stopping).
    typedef std::function<DWORD(int item, int slot, int reader, const volatile LONG* stop)> Work;

    // count items (0: no reader starts); 1 <= window, 1 <= threads <= kMaxThreads. The readers
    // start at once, so that work must be callable before the constructor returns.
    CAheadQueue(int count, int window, DWORD maxHeld, int threads, Work work);
    ~CAheadQueue();   // Stop()
    CAheadQueue(const CAheadQueue&) = delete;
    CAheadQueue& operator=(const CAheadQueue&) = delete;

    // Tells the readers to stop and waits until they have: an item under way ends as its work
    // does. The slots are the owner's to free afterwards. Items can no longer be taken.
    void Stop();

    // Waits until item i is done; items are taken in order, each once (i = 0, 1, 2...). Returns
    // the item's slot, to be read until Release(i); -1 when no reader could start (the taker
    // then does the item itself), after Stop, when i is not the next item, or when *cancel
    // (if given) turns nonzero while waiting (it is looked at every 50 ms).
    int Wait(int i, const volatile LONG* cancel = nullptr);
    // Item i (given by Wait) is taken: its slot and bytes go to the next items.
    void Release(int i);

private:
    static DWORD WINAPI ReaderProc(void* param);
    void Reader(int reader);

    const int m_count;
    const int m_window;
    const DWORD m_maxHeld;
    Work m_work;
    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_readerWake = CONDITION_VARIABLE_INIT;  // room ahead, or stop
    CONDITION_VARIABLE m_takerWake = CONDITION_VARIABLE_INIT;   // an item is done
    std::vector<int> m_doneItem;   // per slot: the item done in it, -1 while none
    std::vector<DWORD> m_held;     // per slot: the bytes its item holds
    int m_next = 0;       // the next item a reader claims
    int m_taken = 0;      // items taken
    DWORD m_heldSum = 0;  // bytes of items done and not taken
    volatile LONG m_stop = 0;
    bool m_running = false;
    struct Start {
        CAheadQueue* queue;
        int reader;
    } m_starts[kMaxThreads];
    CWinHandle m_threads[kMaxThreads];
};

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
        unsigned char* data = nullptr;
        DWORD size = 0;
        FileStamp stamp;
    };

    void ReadOne(int i, Slot& out) const;

    std::vector<std::string> m_paths;
    DWORD m_maxSize;
    Slot m_slots[kFiles];
    CAheadQueue m_queue;   // last: its readers are gone before the slots
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

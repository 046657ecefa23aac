// Result lines made ahead of the result list: a helper thread makes the next lines into a few
// buffers of fixed size while the list adds the lines already made, so that the two overlap.
#pragma once

#include <windows.h>

#include "system/WinHandle.h"

class CResultLineFeed {
public:
    // Makes line index into line and colors (kResultLineSize bytes each); returns its length.
    typedef int (*MakeFn)(void* maker, int index, char* line, unsigned char* colors);

    // Feeds lines 0..count-1 of make(maker, ...) in order. With many lines a helper thread makes
    // them ahead: maker must then stand being called from that thread, and what it reads must
    // not change, while the feed lives. With few lines, or when no thread can be had, Next makes
    // them itself; when not even one buffer can be had, Next gives no line.
    CResultLineFeed(int count, MakeFn make, void* maker);
    // Stops the helper thread (also before the last line) and waits for it.
    ~CResultLineFeed();
    CResultLineFeed(const CResultLineFeed&) = delete;
    CResultLineFeed& operator=(const CResultLineFeed&) = delete;

    // The next line (the first call gives line 0): its text, length and colours, valid until
    // the next call. Messages sent to the calling thread are answered while it waits for the
    // helper. Returns false after the last line.
    bool Next(const char** text, int* length, const unsigned char** colors);

private:
    // The buffers, whatever the count: kChunks chunks of kChunkBytes of text and as many
    // colours, at most kChunkLines lines each (about 540 KB in all).
    enum { kChunks = 4, kChunkBytes = 64 * 1024, kChunkLines = 1024 };
    struct Chunk {
        int count;                    // lines in the chunk
        int start[kChunkLines + 1];   // where each line begins in text and colors; then the end
        char text[kChunkBytes];
        unsigned char colors[kChunkBytes];
    };

    static DWORD WINAPI MakerProc(void* self);
    void Fill(Chunk& chunk);
    void TakeChunk(int number);
    const Chunk& Current() const;

    MakeFn m_make;
    void* m_maker;
    int m_count;
    int m_made = 0;            // lines made so far (by whichever thread makes them)
    int m_taken = 0;           // lines handed out by Next
    Chunk* m_chunks = nullptr; // kChunks, used in turn (threaded), or one; from VirtualAlloc
    int m_current = -1;        // the number of the chunk Next reads (counting all); -1 none yet
    int m_line = 0;            // the next line of it
    // Between the helper and Next: the chunks filled and given back so far, and the stop.
    SRWLOCK m_lock = SRWLOCK_INIT;
    CONDITION_VARIABLE m_changed = CONDITION_VARIABLE_INIT;
    int m_filled = 0;
    int m_freed = 0;
    bool m_stop = false;
    CWinHandle m_thread;
};

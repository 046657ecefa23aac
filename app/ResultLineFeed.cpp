// Result lines made ahead of the result list by a helper thread.
#include "app/ResultLineFeed.h"

#include "app/ResultList.h"

namespace {

// Fewer lines are made on the caller's thread: a thread would cost more than it saves.
const int kThreadFrom = 2048;

}  // namespace

CResultLineFeed::CResultLineFeed(int count, MakeFn make, void* maker)
    : m_make(make), m_maker(maker), m_count(count > 0 ? count : 0)
{
    if (m_count == 0)
        return;
    // The buffers come from VirtualAlloc so that they are given back whole when the feed ends.
    bool threaded = m_count >= kThreadFrom;
    size_t bytes = sizeof(Chunk) * (threaded ? kChunks : 1);
    m_chunks = static_cast<Chunk*>(VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!m_chunks && threaded) {
        threaded = false;
        m_chunks = static_cast<Chunk*>(VirtualAlloc(nullptr, sizeof(Chunk), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    }
    if (m_chunks && threaded)
        m_thread.Reset(CreateThread(nullptr, 64 * 1024, MakerProc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
}

CResultLineFeed::~CResultLineFeed()
{
    if (m_thread) {
        AcquireSRWLockExclusive(&m_lock);
        m_stop = true;
        ReleaseSRWLockExclusive(&m_lock);
        WakeAllConditionVariable(&m_changed);
        WaitForSingleObject(m_thread.Get(), INFINITE);
    }
    if (m_chunks)
        VirtualFree(m_chunks, 0, MEM_RELEASE);
}

DWORD WINAPI CResultLineFeed::MakerProc(void* self)
{
    CResultLineFeed& feed = *static_cast<CResultLineFeed*>(self);
    for (int c = 0; feed.m_made < feed.m_count; ++c) {
        AcquireSRWLockExclusive(&feed.m_lock);
        while (!feed.m_stop && c - feed.m_freed >= kChunks)
            SleepConditionVariableSRW(&feed.m_changed, &feed.m_lock, INFINITE, 0);
        bool stop = feed.m_stop;
        ReleaseSRWLockExclusive(&feed.m_lock);
        if (stop)
            break;
        feed.Fill(feed.m_chunks[c % kChunks]);
        AcquireSRWLockExclusive(&feed.m_lock);
        feed.m_filled = c + 1;
        ReleaseSRWLockExclusive(&feed.m_lock);
        WakeAllConditionVariable(&feed.m_changed);
    }
    return 0;
}

void CResultLineFeed::Fill(Chunk& chunk)
{
    int used = 0, k = 0;
    // Each line may take kResultLineSize bytes while it is made.
    for (; k < kChunkLines && m_made < m_count && used + kResultLineSize <= kChunkBytes; ++k) {
        chunk.start[k] = used;
        used += m_make(m_maker, m_made++, chunk.text + used, chunk.colors + used);
    }
    chunk.start[k] = used;
    chunk.count = k;
}

void CResultLineFeed::TakeChunk(int number)
{
    AcquireSRWLockExclusive(&m_lock);
    m_freed = number;   // the chunks before it are read
    ReleaseSRWLockExclusive(&m_lock);
    WakeAllConditionVariable(&m_changed);
    AcquireSRWLockExclusive(&m_lock);
    while (m_filled <= number) {
        // Messages sent meanwhile are answered every few milliseconds.
        if (!SleepConditionVariableSRW(&m_changed, &m_lock, 10, 0)) {
            ReleaseSRWLockExclusive(&m_lock);
            MSG msg;
            PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
            AcquireSRWLockExclusive(&m_lock);
        }
    }
    ReleaseSRWLockExclusive(&m_lock);
}

const CResultLineFeed::Chunk& CResultLineFeed::Current() const
{
    return m_chunks[m_thread ? m_current % kChunks : 0];
}

bool CResultLineFeed::Next(const char** text, int* length, const unsigned char** colors)
{
    if (m_taken >= m_count || !m_chunks)
        return false;
    if (m_current < 0 || m_line >= Current().count) {
        ++m_current;
        if (m_thread)
            TakeChunk(m_current);
        else
            Fill(m_chunks[0]);
        m_line = 0;
    }
    const Chunk& chunk = Current();
    int at = chunk.start[m_line];
    *text = chunk.text + at;
    *colors = chunk.colors + at;
    *length = chunk.start[m_line + 1] - at;
    ++m_line;
    ++m_taken;
    return true;
}

// Read-ahead of the files a search walks.
#include "app/ReadAhead.h"

#include <cstdlib>
#include <utility>


CAheadQueue::CAheadQueue(int count, int window, DWORD maxHeld, int threads, Work work)
    : m_count(count), m_window(window < 1 ? 1 : window), m_maxHeld(maxHeld), m_work(std::move(work)),
      m_doneItem((size_t)m_window, -1), m_held((size_t)m_window, 0)
{
    if (m_count <= 0)
        return;
    if (threads > kMaxThreads)
        threads = kMaxThreads;
    for (int t = 0; t < threads; ++t) {
        m_starts[t] = {this, t};
        m_threads[t].Reset(CreateThread(nullptr, 64 * 1024, ReaderProc, &m_starts[t],
                                        STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
        m_running = m_running || m_threads[t].Get();
    }
}

CAheadQueue::~CAheadQueue() { Stop(); }

void CAheadQueue::Stop()
{
    AcquireSRWLockExclusive(&m_lock);
    InterlockedExchange(&m_stop, 1);
    ReleaseSRWLockExclusive(&m_lock);
    WakeAllConditionVariable(&m_readerWake);
    for (CWinHandle& t : m_threads)
        if (t.Get()) {
            WaitForSingleObject(t.Get(), INFINITE);
            t.Close();
        }
    m_running = false;
}

DWORD WINAPI CAheadQueue::ReaderProc(void* param)
{
    Start* start = static_cast<Start*>(param);
    start->queue->Reader(start->reader);
    return 0;
}

void CAheadQueue::Reader(int reader)
{
    AcquireSRWLockExclusive(&m_lock);
    for (;;) {
        while (!m_stop && (m_next >= m_count || m_next >= m_taken + m_window || m_heldSum >= m_maxHeld))
            SleepConditionVariableSRW(&m_readerWake, &m_lock, INFINITE, 0);
        if (m_stop)
            break;
        int i = m_next++;
        ReleaseSRWLockExclusive(&m_lock);
        // The slot is this reader's alone until the item is marked done.
        const int slot = i % m_window;
        DWORD held = m_work(i, slot, reader, &m_stop);
        AcquireSRWLockExclusive(&m_lock);
        m_doneItem[(size_t)slot] = i;
        m_held[(size_t)slot] = held;
        m_heldSum += held;
        WakeAllConditionVariable(&m_takerWake);
    }
    ReleaseSRWLockExclusive(&m_lock);
}

int CAheadQueue::Wait(int i, const volatile LONG* cancel)
{
    if (!m_running || i < 0 || i >= m_count || i != m_taken)
        return -1;
    const int slot = i % m_window;
    AcquireSRWLockExclusive(&m_lock);
    while (m_doneItem[(size_t)slot] != i && !m_stop && !(cancel && *cancel))
        SleepConditionVariableSRW(&m_takerWake, &m_lock, cancel ? 50 : INFINITE, 0);
    bool done = m_doneItem[(size_t)slot] == i;
    ReleaseSRWLockExclusive(&m_lock);
    return done ? slot : -1;
}

void CAheadQueue::Release(int i)
{
    const int slot = i % m_window;
    AcquireSRWLockExclusive(&m_lock);
    if (i == m_taken && m_doneItem[(size_t)slot] == i) {
        m_heldSum -= m_held[(size_t)slot];
        m_held[(size_t)slot] = 0;
        m_doneItem[(size_t)slot] = -1;
        m_taken = i + 1;
    }
    ReleaseSRWLockExclusive(&m_lock);
    WakeAllConditionVariable(&m_readerWake);
}

CReadAhead::CReadAhead(std::vector<std::string> paths, DWORD maxSize)
    : m_paths(std::move(paths)), m_maxSize(maxSize),
      m_queue((int)m_paths.size(), kFiles, kBytes, kThreads, [this](int i, int slot, int, const volatile LONG*) {
          ReadOne(i, m_slots[slot]);
          return m_slots[slot].size;
      })
{
}

CReadAhead::~CReadAhead()
{
    m_queue.Stop();
    for (Slot& s : m_slots)
        free(s.data);
}

void CReadAhead::ReadOne(int i, Slot& out) const
{
    out = Slot();
    if (m_paths[i].empty())
        return;
    const char* path = m_paths[i].c_str();
    CWinHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    // The stamp is read before the bytes, as the search itself does.
    FileStamp stamp;
    if (!file.Get() || !ReadHandleStamp(file.Get(), &stamp) || stamp.size == 0 || stamp.size > m_maxSize)
        return;
    const DWORD size = (DWORD)stamp.size;
    unsigned char* data = static_cast<unsigned char*>(malloc(size));
    if (!data)
        return;
    DWORD done = 0;
    while (done < size) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), data + done, size - done, &got, nullptr) || got == 0)
            break;
        done += got;
    }
    // A read that failed or came up short (the file shrank meanwhile) is left to the search's
    // own read, which reports the file rather than searching part of it.
    if (done < size) {
        free(data);
        return;
    }
    out.data = data;
    out.size = done;
    out.stamp = stamp;
}

bool CReadAhead::Take(int i, unsigned char** data, DWORD* size, FileStamp* stamp)
{
    *data = nullptr;
    *size = 0;
    *stamp = FileStamp();
    int slot = m_queue.Wait(i);
    if (slot < 0)
        return false;
    Slot& s = m_slots[slot];
    *data = s.data;
    *size = s.size;
    *stamp = s.stamp;
    s = Slot();
    m_queue.Release(i);
    return *data != nullptr;
}

CStatAhead::CStatAhead(std::vector<std::string> paths)
    : m_paths(std::move(paths)), m_state(new std::atomic<int>[m_paths.size()]), m_info(m_paths.size()),
      m_result(m_paths.size(), 0)
{
    for (size_t i = 0; i < m_paths.size(); ++i)
        m_state[i].store(kFree, std::memory_order_relaxed);
    if (m_paths.size() >= kMinFiles)
        m_thread.Reset(CreateThread(nullptr, 64 * 1024, ThreadProc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
}

CStatAhead::~CStatAhead()
{
    m_stop = true;
    if (m_thread.Get())
        WaitForSingleObject(m_thread.Get(), INFINITE);
}

DWORD WINAPI CStatAhead::ThreadProc(void* self)
{
    static_cast<CStatAhead*>(self)->Run();
    return 0;
}

void CStatAhead::Run()
{
    for (int i = 0; i < (int)m_paths.size() && !m_stop; ++i) {
        while (i >= m_taken + kAhead && !m_stop)
            Sleep(1);
        int expected = kFree;
        if (!m_state[i].compare_exchange_strong(expected, kBusy))
            continue;   // the search got there first
        m_result[i] = FileStat(m_paths[i].c_str(), &m_info[i]);
        m_state[i].store(kDone, std::memory_order_release);
    }
}

int CStatAhead::Get(int i, FileInfo* info)
{
    m_taken = i + 1;
    int expected = kFree;
    if (m_state[i].compare_exchange_strong(expected, kBusy))
        return FileStat(m_paths[i].c_str(), info);
    // The thread is reading this file's attributes: a few microseconds, unless it lost its core.
    for (int spin = 0; m_state[i].load(std::memory_order_acquire) != kDone; ++spin)
        if (spin < 2000)
            YieldProcessor();
        else
            SwitchToThread();
    *info = m_info[i];
    return m_result[i];
}

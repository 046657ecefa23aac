// Read-ahead of the files a search walks.
#include "app/ReadAhead.h"

#include <cstdlib>
#include <utility>


CReadAhead::CReadAhead(std::vector<std::string> paths, DWORD maxSize)
    : m_paths(std::move(paths)), m_maxSize(maxSize)
{
    if (m_paths.empty())
        return;
    for (CWinHandle& t : m_threads)
        t.Reset(CreateThread(nullptr, 64 * 1024, ReaderProc, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    m_running = m_threads[0].Get() || m_threads[1].Get();
}

CReadAhead::~CReadAhead()
{
    AcquireSRWLockExclusive(&m_lock);
    m_stop = true;
    ReleaseSRWLockExclusive(&m_lock);
    WakeAllConditionVariable(&m_readerWake);
    for (CWinHandle& t : m_threads)
        if (t.Get())
            WaitForSingleObject(t.Get(), INFINITE);
    for (Slot& s : m_slots)
        free(s.data);
}

DWORD WINAPI CReadAhead::ReaderProc(void* self)
{
    static_cast<CReadAhead*>(self)->Reader();
    return 0;
}

void CReadAhead::Reader()
{
    const int count = (int)m_paths.size();
    AcquireSRWLockExclusive(&m_lock);
    for (;;) {
        while (!m_stop && (m_next >= count || m_next >= m_taken + kFiles || m_held >= kBytes))
            SleepConditionVariableSRW(&m_readerWake, &m_lock, INFINITE, 0);
        if (m_stop)
            break;
        int i = m_next++;
        ReleaseSRWLockExclusive(&m_lock);
        Slot read;
        read.index = i;
        ReadOne(i, read);
        AcquireSRWLockExclusive(&m_lock);
        m_slots[i % kFiles] = read;
        m_held += read.size;
        WakeAllConditionVariable(&m_takerWake);
    }
    ReleaseSRWLockExclusive(&m_lock);
}

void CReadAhead::ReadOne(int i, Slot& out) const
{
    out.done = true;
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
    if (done == 0) {
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
    if (!m_running || i < 0 || i >= (int)m_paths.size() || i != m_taken)
        return false;
    Slot& s = m_slots[i % kFiles];
    AcquireSRWLockExclusive(&m_lock);
    while (!(s.index == i && s.done))
        SleepConditionVariableSRW(&m_takerWake, &m_lock, INFINITE, 0);
    *data = s.data;
    *size = s.size;
    *stamp = s.stamp;
    m_held -= s.size;
    s = Slot();
    m_taken = i + 1;
    ReleaseSRWLockExclusive(&m_lock);
    WakeAllConditionVariable(&m_readerWake);
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

// Read-ahead of the files a search walks.
#include "app/ReadAhead.h"

#include <cstdlib>
#include <utility>

#include "system/Files.h"

CReadAhead::CReadAhead(std::vector<std::string> paths, std::vector<char> skip, DWORD maxSize, bool withTime)
    : m_paths(std::move(paths)), m_skip(std::move(skip)), m_maxSize(maxSize), m_withTime(withTime)
{
    m_skip.resize(m_paths.size(), 0);
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
    if (m_skip[i] || m_paths[i].empty())
        return;
    const char* path = m_paths[i].c_str();
    // The time is read before the bytes, as the search itself does.
    uint32_t writeTime = m_withTime ? FileGetUnixTimeA(path, 0) : 0;
    CWinHandle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size;
    if (!file.Get() || !GetFileSizeEx(file.Get(), &size) || size.QuadPart <= 0 || size.QuadPart > m_maxSize)
        return;
    unsigned char* data = static_cast<unsigned char*>(malloc((size_t)size.QuadPart));
    if (!data)
        return;
    DWORD done = 0;
    while (done < (DWORD)size.QuadPart) {
        DWORD got = 0;
        if (!ReadFile(file.Get(), data + done, (DWORD)size.QuadPart - done, &got, nullptr) || got == 0)
            break;
        done += got;
    }
    if (done == 0) {
        free(data);
        return;
    }
    out.data = data;
    out.size = done;
    out.writeTime = writeTime;
}

bool CReadAhead::Take(int i, unsigned char** data, DWORD* size, uint32_t* writeTime)
{
    *data = nullptr;
    *size = 0;
    *writeTime = 0;
    if (!m_running || i < 0 || i >= (int)m_paths.size() || i != m_taken)
        return false;
    Slot& s = m_slots[i % kFiles];
    AcquireSRWLockExclusive(&m_lock);
    while (!(s.index == i && s.done))
        SleepConditionVariableSRW(&m_takerWake, &m_lock, INFINITE, 0);
    *data = s.data;
    *size = s.size;
    *writeTime = s.writeTime;
    m_held -= s.size;
    s = Slot();
    m_taken = i + 1;
    ReleaseSRWLockExclusive(&m_lock);
    WakeAllConditionVariable(&m_readerWake);
    return *data != nullptr;
}

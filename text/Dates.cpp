// Date and time printing and parsing through the Windows time-zone rules.
#include "text/Numbers.h"

#include <windows.h>

#include <cstdio>

namespace {

const long long kEpochTicks = 116444736000000000LL; // 1601-01-01 to 1970-01-01 in 100 ns
const long long kTicksPerSecond = 10000000LL;
const char* const kWeekdays[7] = {"So", "Mo", "Di", "Mi", "Do", "Fr", "Sa"};

bool UnixToSystemTime(long long t, bool utc, SYSTEMTIME& st)
{
    // FILETIME covers 1601 to 30827
    if (t < -11644473600LL || t > 910692730085LL) return false;
    unsigned long long ticks = (unsigned long long)(t * kTicksPerSecond + kEpochTicks);
    FILETIME ft;
    ft.dwLowDateTime = (DWORD)ticks;
    ft.dwHighDateTime = (DWORD)(ticks >> 32);
    SYSTEMTIME u;
    if (!FileTimeToSystemTime(&ft, &u)) return false;
    if (utc) {
        st = u;
        return true;
    }
    return SystemTimeToTzSpecificLocalTime(nullptr, &u, &st) != 0;
}

bool SystemTimeToUnix(const SYSTEMTIME& st, bool utc, long long& t)
{
    SYSTEMTIME u = st;
    if (!utc && !TzSpecificLocalTimeToSystemTime(nullptr, &st, &u)) return false;
    FILETIME ft;
    if (!SystemTimeToFileTime(&u, &ft)) return false;
    unsigned long long ticks = (unsigned long long)ft.dwHighDateTime << 32 | ft.dwLowDateTime;
    t = ((long long)ticks - kEpochTicks) / kTicksPerSecond;
    return true;
}

int DaysInMonth(int year, int month)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month == 2 && ((year % 4 == 0 && year % 100 != 0) || year % 400 == 0)) return 29;
    return days[month - 1];
}

// Reads 1 to maxDigits decimal digits; returns the count read (0: none).
int ReadDigits(const unsigned char*& p, int maxDigits, int& value)
{
    int n = 0;
    value = 0;
    while (n < maxDigits && *p >= '0' && *p <= '9') {
        value = value * 10 + (*p - '0');
        ++p;
        ++n;
    }
    return n;
}

} // namespace

int FormatDateTime(char* buf, long long time, unsigned flags)
{
    buf[0] = 0;
    SYSTEMTIME st;
    if (!UnixToSystemTime(time, (flags & DT_UTC) != 0, st)) return 0;
    const bool zeros = (flags & DT_ZEROS) != 0;
    int n = 0;
    auto blank = [&] { if (n) buf[n++] = ' '; };
    if (flags & DT_WEEKDAY) n += std::sprintf(buf + n, "%s", kWeekdays[st.wDayOfWeek % 7]);
    if (flags & (DT_DAY | DT_MONTH | DT_YEAR)) {
        blank();
        bool first = true;
        if (flags & DT_ISO) {
            if (flags & DT_YEAR) { n += std::sprintf(buf + n, "%04u", st.wYear); first = false; }
            if (flags & DT_MONTH) { n += std::sprintf(buf + n, first ? "%02u" : "-%02u", st.wMonth); first = false; }
            if (flags & DT_DAY) n += std::sprintf(buf + n, first ? "%02u" : "-%02u", st.wDay);
        } else {
            const char* two = zeros ? "%02u" : "%u";
            if (flags & DT_DAY) { n += std::sprintf(buf + n, two, st.wDay); first = false; }
            if (flags & DT_MONTH) {
                if (!first) buf[n++] = '.';
                n += std::sprintf(buf + n, two, st.wMonth);
                first = false;
            }
            if (flags & DT_YEAR) {
                if (!first) buf[n++] = '.';
                n += std::sprintf(buf + n, "%04u", st.wYear);
            }
        }
    }
    if (flags & DT_HOURMIN) {
        blank();
        n += std::sprintf(buf + n, zeros || (flags & DT_ISO) ? "%02u:%02u" : "%u:%02u", st.wHour, st.wMinute);
        if (flags & DT_SECONDS) n += std::sprintf(buf + n, ":%02u", st.wSecond);
    } else if (flags & DT_SECONDS) {
        blank();
        n += std::sprintf(buf + n, "%02u", st.wSecond);
    }
    buf[n] = 0;
    return n;
}

long long ParseDateTimeToTime(const char* text, unsigned flags, int* used)
{
    if (used) *used = 0;
    if (!text) return -1;
    if (!(flags & (PDT_GERMAN | PDT_ISO))) flags |= PDT_GERMAN | PDT_ISO;
    const unsigned char* start = reinterpret_cast<const unsigned char*>(text);
    const unsigned char* p = start;
    auto skipBlanks = [&] { while (*p == ' ' || *p == '\t') ++p; };
    skipBlanks();
    // an optional weekday name, as FormatDateTime writes it
    for (int d = 0; d < 7; ++d) {
        const char* w = kWeekdays[d];
        if ((p[0] | 0x20) == (w[0] | 0x20) && (p[1] | 0x20) == (w[1] | 0x20) && !((p[2] | 0x20) >= 'a' && (p[2] | 0x20) <= 'z')) {
            p += 2;
            if (*p == ',' || *p == '.') ++p;
            skipBlanks();
            break;
        }
    }
    int day = 0, month = 0, year = 0;
    const unsigned char* q = p;
    int a = 0;
    int na = ReadDigits(q, 4, a);
    if (na == 0) return -1;
    if (*q == '-' && (flags & PDT_ISO) && na == 4) {
        ++q;
        if (!ReadDigits(q, 2, month) || *q++ != '-' || !ReadDigits(q, 2, day)) return -1;
        year = a;
    } else if (*q == '.' && (flags & PDT_GERMAN) && na <= 2) {
        ++q;
        day = a;
        if (!ReadDigits(q, 2, month) || *q++ != '.') return -1;
        int ny = ReadDigits(q, 4, year);
        if (ny != 2 && ny != 4) return -1;
        if (ny == 2) year += year < 70 ? 2000 : 1900;
    } else {
        return -1;
    }
    if (year < 1601 || year > 30827 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return -1;
    p = q;
    int hour = 0, minute = 0, second = 0;
    const unsigned char* t = p;
    while (*t == ' ' || *t == '\t') ++t;
    if (t == p && *t == 'T') ++t;
    if (t > p || *p == 'T') {
        const unsigned char* r = t;
        if (ReadDigits(r, 2, hour) && *r == ':') {
            ++r;
            if (ReadDigits(r, 2, minute) != 2) return -1;
            if (*r == ':') {
                ++r;
                if (ReadDigits(r, 2, second) != 2) return -1;
            }
            if (hour > 23 || minute > 59 || second > 59) return -1;
            p = r;
        }
    }
    SYSTEMTIME st = {};
    st.wYear = (WORD)year;
    st.wMonth = (WORD)month;
    st.wDay = (WORD)day;
    st.wHour = (WORD)hour;
    st.wMinute = (WORD)minute;
    st.wSecond = (WORD)second;
    long long result;
    if (!SystemTimeToUnix(st, (flags & PDT_UTC) != 0, result)) return -1;
    if (used) *used = (int)(p - start);
    return result;
}

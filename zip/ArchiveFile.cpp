// The archive base: error texts, event texts and the shared defaults of the entry interface.
#include "zip/ArchiveFile.h"

#include <cstdlib>
#include <cstring>

namespace {

struct CodeText {
  int code;
  const char *text;
};

const CodeText kCodeTexts[] = {
    {0, "\nEs ist kein Fehler aufgetreten."},
    {-1, "\nFalscher Index oder Modus !"},
    {2, "\nvorzeitiges Dateiende erreicht !"},
    {3, "\nhat ein ungültiges Format "},
    {5, "\nSchwerer interner Fehler !"},
    {11, "\nFehler beim Lesen der Datei !"},
    {12, "\nDatei wurde nicht gefunden !"},
    {14, "\nFehler beim Schreiben in Datei !"},
    {15, "\nFehler beim Erzeugen der Datei !"},
    {18, "\nFehler beim Öffnen der Datei !"},
    {19, "\nFehler sie geht über mehrere Disketten !"},
    {20, "\nFalsche Pfadname-Angabe !"},
    {21, "\nCRC32 Fehler bei Datei :"},
    {22, "\nFehler beim Entkomprimieren von :"},
    {23, "\nBenutzer Abbruch."},
    {24, "\nFehler beim Öffnen der Datei: "},
    {25, "\nFehler beim Erzeugen der Datei: "},
    {26, "\nFehler beim Schreiben in Datei: "},
    {27, "\nFehler beim Lesen der Datei: "},
    {28, "\nDie Datei wurde übersprungen: "},
    {29, "\nDie Funktion wird nicht unterstützt :"},
    {30, "\nDiese Version wird nicht unterstützt :"},
    {31, "\nFehler beim Komprimieren :"},
    {32, "\nFalsches Passwort : "},
    {33, "\nDar Archiv ist nicht geöffnet !"},
    {34, "\nIn diesem Modus ist die Funktion nicht möglich !"},
    {35, "\nDie Datei ist bereits vorhanden: "},
    {36, "\nDie Datei ist älter als die vorhandene: "},
    {37, "\nEs ist kein Platz mehr vorhanden für: "},
};

const char kUnknownText[] = "\nUnbekannter Fehler";

// Codes whose text is followed by the current entry name.
bool NamesEntry(int code) {
  switch (code) {
    case 21: case 22: case 24: case 25: case 26: case 27: case 28: case 32:
    case 35: case 36: case 37:
      return true;
    default:
      for (const CodeText &t : kCodeTexts)
        if (t.code == code) return false;
      return true;  // every code without a text of its own
  }
}

struct EventText {
  const char *prefix;
  const char *suffix;
};

const EventText kEventTexts[ARCHIVE_EVENT_COUNT] = {
    {"\nDatei ", " öffnen."},
    {"\nDatei: ", " gefunden."},
    {"\nDatei: ", " entfernen."},
    {"\nDatei: ", " löschen."},
    {"\nDatei ", " schließen."},
    {"\nDatei ", " erzeugen."},
    {"\nDatei: ", " anhängen."},
    {"\nDatei: ", " komprimieren."},
    {"\nDatei: ", " lesen."},
    {"\nDatei ", " rückschreiben."},
    {"", ""},
    {"\nDatei: ", " wurde entkomprimiert."},
    {"\nDatei: ", " prüfen."},
    {"\nDatei ", " sortieren."},
    {"\nDatei: ", " wurde komprimiert."},
    {"\nDatei: ", " überspringen ?"},
    {"\nDatei: ", " wird entkomprimiert."},
    {"\nDatei: ", " Passwort eingeben."},
};

// Appends text to buffer (size bytes) at *length, cutting it to fit.
void Append(char *buffer, size_t size, size_t *length, const char *text, size_t textLength) {
  if (*length + 1 >= size) return;
  size_t room = size - 1 - *length;
  if (textLength > room) textLength = room;
  std::memcpy(buffer + *length, text, textLength);
  *length += textLength;
  buffer[*length] = 0;
}

int32_t DiscardWrite(void *, const void *, int32_t length) { return length > 0 ? length : 0; }

}  // namespace

CArchiveFile::CArchiveFile()
    : m_mode(ARCHIVE_CLOSED),
      m_methodSetting(-1),
      m_level(9),
      m_lastError(0),
      m_fileNamePart(m_path),
      m_currentName("???"),
      m_password(nullptr),
      m_progressDone(0),
      m_progressTotal(0),
      m_phase(ARCHIVE_PHASE_DIRECTORY),
      m_writeAllowed(true),
      m_deferredAdd(true),
      m_retryStored(true),
      m_raiseOnWriteError(true),
      m_callback(nullptr),
      m_user(0),
      m_eventMask(0),
      m_eventsWithoutText(0),
      m_prefixLength(0),
      m_nameLength(0),
      m_suffixLength(0) {
  m_path[0] = 0;
  m_eventText[0] = 0;
  m_errorText[0] = 0;
}

CArchiveFile::~CArchiveFile() {
  if (m_password) {
    std::memset(m_password, 0, std::strlen(m_password));
    std::free(m_password);
  }
}

int CArchiveFile::SetPassword(const char *password) {
  if (m_password) {
    std::memset(m_password, 0, std::strlen(m_password));
    std::free(m_password);
    m_password = nullptr;
  }
  if (password) {
    size_t n = std::strlen(password);
    m_password = static_cast<char *>(std::malloc(n + 1));
    if (m_password) std::memcpy(m_password, password, n + 1);
  }
  return 1;
}

int CArchiveFile::AddDirectory(const char *) { return Fail(ZIP_E_UNSUPPORTED); }

int CArchiveFile::AddEntry(const char *, const void *, int, const ArchiveFileInfo *) {
  return Fail(ZIP_E_UNSUPPORTED);
}

int CArchiveFile::TestEntry(int index) { return ExtractEntry(index, DiscardWrite, nullptr, nullptr); }

int CArchiveFile::SwitchMode(int) { return Fail(ZIP_E_UNSUPPORTED); }

int CArchiveFile::Commit() { return 0; }

const char *CArchiveFile::GetEntryNameLength(int index, int *length) const {
  const char *name = GetEntryName(index);
  if (length) *length = name ? static_cast<int>(std::strlen(name)) : 0;
  return name;
}

int CArchiveFile::SetDamaged(int, int) { return 0; }
int CArchiveFile::IsReadOnly(int) const { return 0; }
int CArchiveFile::IsDeleted(int) const { return 0; }
int CArchiveFile::DeleteEntry(int) { return Fail(ZIP_E_UNSUPPORTED); }
int CArchiveFile::SetUserBits(int, int) { return -1; }

int CArchiveFile::GetEntryMode(int index) const {
  if (index < 0 || index >= GetEntryCount()) return -1;
  int mode = IsReadOnly(index) ? static_cast<int>(0x80000124u) : static_cast<int>(0x800001A4u);
  if (IsDirectory(index)) mode |= 0x4000;
  return mode;
}

int CArchiveFile::SetCallback(uintptr_t user, ArchiveCallback callback) {
  m_user = user;
  m_callback = callback;
  m_eventsWithoutText = 0;
  m_eventMask = 0xFFFFFFFFu;
  return callback != nullptr;
}

void CArchiveFile::EnableEvents(uint32_t eventOrMask, int form) {
  if (form == 0) {
    if (eventOrMask < 32) m_eventMask |= 1u << eventOrMask;
  } else {
    m_eventMask |= eventOrMask;
  }
}

void CArchiveFile::DisableEvents(uint32_t eventOrMask, int form) {
  if (form == 0) {
    if (eventOrMask < 32) m_eventMask &= ~(1u << eventOrMask);
  } else {
    m_eventMask &= ~eventOrMask;
  }
}

uint32_t CArchiveFile::SetEventsWithoutText(uint32_t value, int form) {
  uint32_t old = m_eventsWithoutText;
  if (form == 0) {
    m_eventsWithoutText = value;
  } else if (value < 32) {
    if (form == 1)
      m_eventsWithoutText |= 1u << value;
    else if (form == 2)
      m_eventsWithoutText &= ~(1u << value);
  }
  return old;
}

const char *CArchiveFile::GetCodeText(int code) {
  for (const CodeText &t : kCodeTexts)
    if (t.code == code) return t.text;
  return kUnknownText;
}

const char *CArchiveFile::GetErrorText() {
  size_t length = 0;
  m_errorText[0] = 0;
  int code = m_lastError;
  if (code != 0 && code != ZIP_E_CANCEL) {
    const char *head = "\nBei Datei : ";
    Append(m_errorText, sizeof m_errorText, &length, head, std::strlen(head));
    const char *path = m_path[0] ? m_path : "\n< keine Datei geöffnet >";
    Append(m_errorText, sizeof m_errorText, &length, path, std::strlen(path));
  }
  const char *text = GetCodeText(code);
  Append(m_errorText, sizeof m_errorText, &length, text, std::strlen(text));
  if (code != 0 && code != ZIP_E_CANCEL && NamesEntry(code))
    Append(m_errorText, sizeof m_errorText, &length, m_currentName.data(), m_currentName.size());
  return m_errorText;
}

void CArchiveFile::GetEventTextParts(int *prefix, int *name, int *suffix) const {
  if (prefix) *prefix = m_prefixLength;
  if (name) *name = m_nameLength;
  if (suffix) *suffix = m_suffixLength;
}

int CArchiveFile::RaiseEvent(int event, int index, const char *nameOverride) {
  if (!m_callback || event < 0 || event >= 32 || !(m_eventMask & (1u << event))) return 0;
  const char *text = nullptr;
  if (!(m_eventsWithoutText & (1u << event))) {
    if (event == ARCHIVE_EVENT_ERROR) {
      text = GetErrorText();
      m_prefixLength = m_suffixLength = 0;
      m_nameLength = static_cast<int>(std::strlen(text));
    } else {
      const EventText &t = kEventTexts[event < ARCHIVE_EVENT_COUNT ? event : ARCHIVE_EVENT_ERROR];
      const char *name = nameOverride ? nameOverride : GetEntryName(index);
      if (!name) name = "";
      size_t prefix = std::strlen(t.prefix), suffix = std::strlen(t.suffix), n = std::strlen(name);
      // A name too long for the text is cut; prefix and suffix always stand.
      size_t room = sizeof m_eventText - 1 - prefix - suffix;
      if (n > room) n = room;
      std::memcpy(m_eventText, t.prefix, prefix);
      std::memcpy(m_eventText + prefix, name, n);
      std::memcpy(m_eventText + prefix + n, t.suffix, suffix + 1);
      m_prefixLength = static_cast<int>(prefix);
      m_nameLength = static_cast<int>(n);
      m_suffixLength = static_cast<int>(suffix);
      text = m_eventText;
    }
  }
  return m_callback(m_user, event, index, this, text);
}

int CArchiveFile::Fail(int code) {
  m_lastError = code;
  RaiseEvent(ARCHIVE_EVENT_ERROR, -1);
  return code;
}

void CArchiveFile::SetArchivePath(const char *path) {
  if (!path) path = "";
  size_t n = std::strlen(path);
  if (n >= sizeof m_path) n = sizeof m_path - 1;
  std::memcpy(m_path, path, n);
  m_path[n] = 0;
  m_fileNamePart = m_path;
  for (const char *p = m_path; *p; ++p)
    if (*p == '\\' || *p == '/' || *p == ':') m_fileNamePart = p + 1;
}

// Documents, views and the single-document template.
#include "framework/Framework.h"

// --- CDocument ----------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CDocument, CCmdTarget)

CDocument::CDocument() {}

CDocument::~CDocument() {
  for (CView* v : m_views) v->m_pDocument = nullptr;
  m_views.clear();
  if (m_pDocTemplate) m_pDocTemplate->RemoveDocument(this);
}

void CDocument::SetTitle(LPCSTR lpszTitle) {
  m_strTitle = lpszTitle;
  for (CView* v : m_views) {
    CFrameWnd* f = v->m_hWnd ? v->GetParentFrame() : nullptr;
    if (f) f->OnUpdateFrameTitle(TRUE);
  }
}

void CDocument::SetPathName(LPCSTR lpszPathName, BOOL bAddToMRU) {
  m_strPathName = lpszPathName ? lpszPathName : "";
  // The title is the last name of the path; a bare root keeps the whole path.
  CString path = m_strPathName;
  int end = path.GetLength();
  while (end > 0 && (path[end - 1] == '\\' || path[end - 1] == '/')) --end;
  int start = end;
  while (start > 0 && path[start - 1] != '\\' && path[start - 1] != '/' && path[start - 1] != ':') --start;
  CString title = path.Mid(start, end - start);
  if (title.IsEmpty() || (end > 0 && path[end - 1] == ':')) title = path;
  SetTitle(title);
  CWinApp* app = AfxGetApp();
  if (bAddToMRU && app && !m_strPathName.IsEmpty()) app->AddToRecentFileList(m_strPathName);
}

void CDocument::AddView(CView* pView) {
  for (CView* v : m_views)
    if (v == pView) return;
  m_views.push_back(pView);
  pView->m_pDocument = this;
}

void CDocument::RemoveView(CView* pView) {
  for (size_t i = 0; i < m_views.size(); ++i)
    if (m_views[i] == pView) {
      m_views.erase(m_views.begin() + i);
      pView->m_pDocument = nullptr;
      return;
    }
}

POSITION CDocument::GetFirstViewPosition() const {
  return m_views.empty() ? nullptr : reinterpret_cast<POSITION>((UINT_PTR)1);
}

CView* CDocument::GetNextView(POSITION& rPosition) const {
  size_t i = (size_t)(UINT_PTR)rPosition;
  if (i == 0 || i > m_views.size()) {
    rPosition = nullptr;
    return nullptr;
  }
  CView* v = m_views[i - 1];
  rPosition = i < m_views.size() ? reinterpret_cast<POSITION>((UINT_PTR)(i + 1)) : nullptr;
  return v;
}

void CDocument::UpdateAllViews(CView* pSender, LPARAM lHint, CObject* pHint) {
  std::vector<CView*> views = m_views;
  for (CView* v : views)
    if (v != pSender) v->OnUpdate(pSender, lHint, pHint);
}

BOOL CDocument::OnNewDocument() {
  DeleteContents();
  m_strPathName.Empty();
  SetModifiedFlag(FALSE);
  return TRUE;
}

BOOL CDocument::OnOpenDocument(LPCSTR) {
  DeleteContents();
  SetModifiedFlag(FALSE);
  return TRUE;
}

void CDocument::OnCloseDocument() {
  BOOL autoDelete = m_bAutoDelete;
  m_bAutoDelete = FALSE;
  std::vector<CFrameWnd*> frames;
  for (CView* v : m_views) {
    CFrameWnd* f = v->m_hWnd ? v->GetParentFrame() : nullptr;
    bool known = false;
    for (CFrameWnd* x : frames) known = known || x == f;
    if (f && !known) frames.push_back(f);
  }
  for (CFrameWnd* f : frames) f->DestroyWindow();
  DeleteContents();
  m_bAutoDelete = autoDelete;
  if (m_bAutoDelete) delete this;
}

// --- CView --------------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CView, CWnd)

BEGIN_MESSAGE_MAP(CView, CWnd)
  ON_WM_CREATE()
  ON_WM_PAINT()
  ON_MESSAGE(WM_INITIALUPDATE, OnInitialUpdateMsg)
  ON_MESSAGE(WM_MOUSEACTIVATE, OnMouseActivateMsg)
END_MESSAGE_MAP()

CView::CView() {}

CView::~CView() {
  // The frame outlives its children's last messages: it must not route to a deleted view.
  if (m_pFrameOwner && m_pFrameOwner->GetActiveView() == this) m_pFrameOwner->SetActiveView(nullptr);
  if (m_pDocument) m_pDocument->RemoveView(this);
}

BOOL CView::PreCreateWindow(CREATESTRUCTA& cs) {
  if (!cs.lpszClass)
    cs.lpszClass = AfxRegisterWndClass(CS_DBLCLKS, ::LoadCursor(nullptr, IDC_ARROW), (HBRUSH)(COLOR_WINDOW + 1));
  return cs.lpszClass != nullptr;
}

BOOL CView::Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                   UINT nID, CCreateContext* pContext) {
  return CreateEx(0, lpszClassName, lpszWindowName, dwStyle | WS_CHILD, rect, pParentWnd, nID, pContext);
}

int CView::OnCreate(LPCREATESTRUCTA lpcs) {
  if (Default() == -1) return -1;
  m_pFrameOwner = GetParentFrame();
  CCreateContext* ctx = static_cast<CCreateContext*>(lpcs->lpCreateParams);
  if (ctx && ctx->m_pCurrentDoc) ctx->m_pCurrentDoc->AddView(this);
  return 0;
}

void CView::OnPaint() {
  CPaintDC dc(this);
  OnDraw(&dc);
}

void CView::OnInitialUpdate() { OnUpdate(nullptr, 0, nullptr); }

void CView::OnUpdate(CView*, LPARAM, CObject*) { Invalidate(TRUE); }

LRESULT CView::OnInitialUpdateMsg(WPARAM, LPARAM) {
  OnInitialUpdate();
  return 0;
}

LRESULT CView::OnMouseActivateMsg(WPARAM wParam, LPARAM lParam) {
  if (CFrameWnd* f = GetParentFrame()) {
    f->SetActiveView(this);
    m_pFrameOwner = f;
  }
  return DefWindowProc(WM_MOUSEACTIVATE, wParam, lParam);
}

BOOL CView::OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) {
  if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo)) return TRUE;
  return m_pDocument && m_pDocument->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CView::PostNcDestroy() {
  // The frame is still alive while its children get their last message.
  delete this;
}

// --- Templates ----------------------------------------------------------------------------------

IMPLEMENT_DYNAMIC(CDocTemplate, CCmdTarget)
IMPLEMENT_DYNAMIC(CSingleDocTemplate, CDocTemplate)

CDocTemplate::CDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass, const CRuntimeClass* pFrameClass,
                           const CRuntimeClass* pViewClass)
    : m_nIDResource(nIDResource), m_pDocClass(pDocClass), m_pFrameClass(pFrameClass), m_pViewClass(pViewClass) {
  AfxLoadString(nIDResource, m_strDocStrings);
}

CDocTemplate::~CDocTemplate() {}

BOOL CDocTemplate::GetDocString(CString& rString, DocStringIndex index) const {
  const char* s = m_strDocStrings;
  for (int i = 0; i < (int)index; ++i) {
    const char* nl = strchr(s, '\n');
    if (!nl) {
      rString.Empty();
      return FALSE;
    }
    s = nl + 1;
  }
  const char* nl = strchr(s, '\n');
  rString = nl ? CString(s, (int)(nl - s)) : CString(s);
  return !rString.IsEmpty();
}

void CDocTemplate::AddDocument(CDocument* pDoc) { pDoc->m_pDocTemplate = this; }

void CDocTemplate::RemoveDocument(CDocument* pDoc) { pDoc->m_pDocTemplate = nullptr; }

CDocument* CDocTemplate::CreateNewDocument() {
  CObject* obj = m_pDocClass ? m_pDocClass->CreateObject() : nullptr;
  if (!obj) return nullptr;
  CDocument* pDoc = static_cast<CDocument*>(obj);
  AddDocument(pDoc);
  return pDoc;
}

CFrameWnd* CDocTemplate::CreateNewFrame(CDocument* pDoc, CFrameWnd*) {
  CObject* obj = m_pFrameClass ? m_pFrameClass->CreateObject() : nullptr;
  if (!obj) return nullptr;
  CFrameWnd* pFrame = static_cast<CFrameWnd*>(obj);
  CCreateContext ctx;
  ctx.m_pNewViewClass = m_pViewClass;
  ctx.m_pCurrentDoc = pDoc;
  ctx.m_pNewDocTemplate = this;
  // A frame whose window came to exist deletes itself when the window goes; one that never
  // got a window is still ours to delete.
  BOOL deleted = FALSE;
  pFrame->m_pbDeleted = &deleted;
  BOOL ok = pFrame->LoadFrame(m_nIDResource, WS_OVERLAPPEDWINDOW | FWS_ADDTOTITLE, nullptr, &ctx);
  if (deleted) return nullptr;
  pFrame->m_pbDeleted = nullptr;
  if (!ok) {
    delete pFrame;
    return nullptr;
  }
  return pFrame;
}

void CDocTemplate::InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible) {
  pFrame->InitialUpdateFrame(pDoc, bMakeVisible);
}

CSingleDocTemplate::CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass,
                                       const CRuntimeClass* pFrameClass, const CRuntimeClass* pViewClass)
    : CDocTemplate(nIDResource, pDocClass, pFrameClass, pViewClass) {}

CSingleDocTemplate::~CSingleDocTemplate() {
  if (m_pOnlyDoc) m_pOnlyDoc->m_pDocTemplate = nullptr;
}

POSITION CSingleDocTemplate::GetFirstDocPosition() const {
  return m_pOnlyDoc ? reinterpret_cast<POSITION>((UINT_PTR)1) : nullptr;
}

CDocument* CSingleDocTemplate::GetNextDoc(POSITION& rPos) const {
  CDocument* d = rPos ? m_pOnlyDoc : nullptr;
  rPos = nullptr;
  return d;
}

void CSingleDocTemplate::AddDocument(CDocument* pDoc) {
  CDocTemplate::AddDocument(pDoc);
  m_pOnlyDoc = pDoc;
}

void CSingleDocTemplate::RemoveDocument(CDocument* pDoc) {
  CDocTemplate::RemoveDocument(pDoc);
  if (m_pOnlyDoc == pDoc) m_pOnlyDoc = nullptr;
}

CDocument* CSingleDocTemplate::OpenDocumentFile(LPCSTR lpszPathName, BOOL bMakeVisible) {
  CDocument* pDoc = m_pOnlyDoc;
  CFrameWnd* pFrame = nullptr;
  BOOL bCreated = FALSE;
  if (pDoc) {
    if (!pDoc->SaveModified()) return nullptr;
    POSITION pos = pDoc->GetFirstViewPosition();
    CView* v = pDoc->GetNextView(pos);
    pFrame = v && v->m_hWnd ? v->GetParentFrame() : nullptr;
  } else {
    pDoc = CreateNewDocument();
    if (!pDoc) return nullptr;
    bCreated = TRUE;
  }
  BOOL bFrameCreated = FALSE;
  if (!pFrame) {
    pFrame = CreateNewFrame(pDoc, nullptr);
    if (!pFrame) {
      if (bCreated) delete pDoc;
      return nullptr;
    }
    bFrameCreated = TRUE;
  }
  BOOL ok;
  if (!lpszPathName) {
    CString name;
    if (!GetDocString(name, docName)) name = "Unbenannt";
    pDoc->SetTitle(name);
    ok = pDoc->OnNewDocument();
  } else {
    ok = pDoc->OnOpenDocument(lpszPathName);
    if (ok) pDoc->SetPathName(lpszPathName);
  }
  if (!ok) {
    if (bFrameCreated) pFrame->DestroyWindow();
    if (bCreated && m_pOnlyDoc == pDoc) delete pDoc;
    return nullptr;
  }
  CWinApp* app = AfxGetApp();
  if (bFrameCreated && app && !app->m_pMainWnd) app->m_pMainWnd = pFrame;
  InitialUpdateFrame(pFrame, pDoc, bMakeVisible);
  return pDoc;
}

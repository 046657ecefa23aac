// Document, view and the single-document template that builds frame, document and view from
// one resource id before the document is opened.
#pragma once
#include <vector>
#include "framework/Frame.h"

class CView;
class CDocTemplate;

// An iteration position over a framework list (NULL after the last element).
typedef struct FwPosition* POSITION;

// A document: path, title, modified flag and its views. The framework has no save: a document
// is never written by the framework.
class CDocument : public CCmdTarget {
  DECLARE_DYNAMIC(CDocument)
public:
  CDocument();
  ~CDocument() override;

  const CString& GetTitle() const { return m_strTitle; }
  // Sets the title and updates the captions of the document's frames.
  virtual void SetTitle(LPCSTR lpszTitle);
  const CString& GetPathName() const { return m_strPathName; }
  // Sets the path and, from its last name, the title; bAddToMRU enters it in the recent-file list.
  virtual void SetPathName(LPCSTR lpszPathName, BOOL bAddToMRU = TRUE);
  virtual BOOL IsModified() { return m_bModified; }
  virtual void SetModifiedFlag(BOOL bModified = TRUE) { m_bModified = bModified; }
  CDocTemplate* GetDocTemplate() const { return m_pDocTemplate; }

  void AddView(CView* pView);
  void RemoveView(CView* pView);
  POSITION GetFirstViewPosition() const;
  CView* GetNextView(POSITION& rPosition) const;
  int GetViewCount() const { return (int)m_views.size(); }
  // Calls OnUpdate of every view but pSender.
  void UpdateAllViews(CView* pSender, LPARAM lHint = 0, CObject* pHint = nullptr);

  // A new, empty document: DeleteContents, not modified. TRUE on success.
  virtual BOOL OnNewDocument();
  // Opening: the base class reads nothing (DeleteContents, not modified) and returns TRUE.
  virtual BOOL OnOpenDocument(LPCSTR lpszPathName);
  // Closes the frames of the views and deletes the document.
  virtual void OnCloseDocument();
  virtual void DeleteContents() {}
  // Asked before the document is closed or replaced; there is no save, so TRUE.
  virtual BOOL SaveModified() { return TRUE; }
  virtual BOOL CanCloseFrame(CFrameWnd* pFrame) { return SaveModified(); }

  BOOL m_bAutoDelete = TRUE;

protected:
  friend class CDocTemplate;
  friend class CSingleDocTemplate;
  CString m_strTitle;
  CString m_strPathName;
  BOOL m_bModified = FALSE;
  CDocTemplate* m_pDocTemplate = nullptr;
  std::vector<CView*> m_views;
};

// A view: a child window of its frame that shows its document. Commands reach the view before
// its document.
class CView : public CWnd {
  DECLARE_DYNAMIC(CView)
public:
  ~CView() override;
  CDocument* GetDocument() const { return m_pDocument; }
  BOOL Create(LPCSTR lpszClassName, LPCSTR lpszWindowName, DWORD dwStyle, const RECT& rect,
              CWnd* pParentWnd, UINT nID, CCreateContext* pContext = nullptr) override;
  BOOL PreCreateWindow(CREATESTRUCTA& cs) override;
  virtual void OnDraw(CDC* pDC) {}
  // After the document is ready; the base calls OnUpdate(NULL, 0, NULL).
  virtual void OnInitialUpdate();
  // The document changed; the base invalidates the view.
  virtual void OnUpdate(CView* pSender, LPARAM lHint, CObject* pHint);
  BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, FwCmdHandlerInfo* pHandlerInfo) override;

  int OnCreate(LPCREATESTRUCTA lpcs);
  void OnPaint();
  int OnMouseActivate(CWnd* pDesktopWnd, UINT nHitTest, UINT message);

protected:
  CView();
  void PostNcDestroy() override;
  LRESULT OnInitialUpdateMsg(WPARAM, LPARAM);
  LRESULT OnMouseActivateMsg(WPARAM, LPARAM);
  friend class CDocument;
  friend class CFrameWnd;
  CDocument* m_pDocument = nullptr;
  CFrameWnd* m_pFrameOwner = nullptr;  // the frame that may hold this view as its active one
  DECLARE_MESSAGE_MAP()
};

// Builds documents with their frame and view.
class CDocTemplate : public CCmdTarget {
  DECLARE_DYNAMIC(CDocTemplate)
public:
  enum DocStringIndex { windowTitle, docName, fileNewName, filterName, filterExt, regFileTypeId, regFileTypeName };
  ~CDocTemplate() override;
  UINT GetResourceID() const { return m_nIDResource; }
  // One '\n'-separated field of the document string (resource nIDResource). FALSE when empty.
  BOOL GetDocString(CString& rString, DocStringIndex index) const;
  virtual POSITION GetFirstDocPosition() const = 0;
  virtual CDocument* GetNextDoc(POSITION& rPos) const = 0;
  // Opens lpszPathName (NULL: a new document) in this template's document; returns it or NULL.
  virtual CDocument* OpenDocumentFile(LPCSTR lpszPathName, BOOL bMakeVisible = TRUE) = 0;
  virtual void AddDocument(CDocument* pDoc);
  virtual void RemoveDocument(CDocument* pDoc);
  CDocument* CreateNewDocument();
  CFrameWnd* CreateNewFrame(CDocument* pDoc, CFrameWnd* pOther);
  void InitialUpdateFrame(CFrameWnd* pFrame, CDocument* pDoc, BOOL bMakeVisible = TRUE);

protected:
  CDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass, const CRuntimeClass* pFrameClass,
               const CRuntimeClass* pViewClass);
  UINT m_nIDResource;
  const CRuntimeClass* m_pDocClass;
  const CRuntimeClass* m_pFrameClass;
  const CRuntimeClass* m_pViewClass;
  CString m_strDocStrings;
};

// Exactly one document at a time; opening another reuses the document, its frame and view.
class CSingleDocTemplate : public CDocTemplate {
  DECLARE_DYNAMIC(CSingleDocTemplate)
public:
  CSingleDocTemplate(UINT nIDResource, const CRuntimeClass* pDocClass, const CRuntimeClass* pFrameClass,
                     const CRuntimeClass* pViewClass);
  ~CSingleDocTemplate() override;
  POSITION GetFirstDocPosition() const override;
  CDocument* GetNextDoc(POSITION& rPos) const override;
  CDocument* OpenDocumentFile(LPCSTR lpszPathName, BOOL bMakeVisible = TRUE) override;
  void AddDocument(CDocument* pDoc) override;
  void RemoveDocument(CDocument* pDoc) override;

protected:
  CDocument* m_pOnlyDoc = nullptr;
};

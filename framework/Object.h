// Root object with runtime-class records: class names, derivation tests and dynamic creation.
#pragma once
#include <windows.h>

class CObject;

// One record per class that declares itself dynamic; the chain of base records ends at CObject.
struct CRuntimeClass {
  LPCSTR m_lpszClassName;
  int m_nObjectSize;
  CObject* (*m_pfnCreateObject)();
  const CRuntimeClass* m_pBaseClass;

  // A new object of the class; NULL when the class is not dynamically creatable.
  CObject* CreateObject() const;
  // TRUE when the class is pBase or derives from it.
  BOOL IsDerivedFrom(const CRuntimeClass* pBase) const;
};

class CObject {
public:
  static const CRuntimeClass classCObject;
  virtual ~CObject() {}
  virtual const CRuntimeClass* GetRuntimeClass() const { return &classCObject; }
  // TRUE when this object's class is pClass or derives from it.
  BOOL IsKindOf(const CRuntimeClass* pClass) const { return GetRuntimeClass()->IsDerivedFrom(pClass); }

protected:
  CObject() {}

private:
  CObject(const CObject&) = delete;
  CObject& operator=(const CObject&) = delete;
};

#define RUNTIME_CLASS(class_name) (&class_name::class##class_name)

#define DECLARE_DYNAMIC(class_name)                                   \
public:                                                               \
  static const CRuntimeClass class##class_name;                       \
  virtual const CRuntimeClass* GetRuntimeClass() const;

#define DECLARE_DYNCREATE(class_name) \
  DECLARE_DYNAMIC(class_name)         \
  static CObject* CreateObject();

#define IMPLEMENT_DYNAMIC(class_name, base_name)                                              \
  const CRuntimeClass class_name::class##class_name = {#class_name, (int)sizeof(class_name), \
                                                       nullptr, RUNTIME_CLASS(base_name)};    \
  const CRuntimeClass* class_name::GetRuntimeClass() const { return &class##class_name; }

#define IMPLEMENT_DYNCREATE(class_name, base_name)                                            \
  CObject* class_name::CreateObject() { return new class_name; }                             \
  const CRuntimeClass class_name::class##class_name = {#class_name, (int)sizeof(class_name), \
                                                       &class_name::CreateObject,             \
                                                       RUNTIME_CLASS(base_name)};             \
  const CRuntimeClass* class_name::GetRuntimeClass() const { return &class##class_name; }

// In-place activation as a windowed control: the control's own child window
// in the container's window, UI activation, and the window's procedure.
#include <windows.h>

#include "traylib/com/ActiveXControl.h"
#include "traylib/com/ComError.h"
#include "traylib/com/Module.h"

namespace sd {
namespace {

constexpr char kWindowClass[] = "SabledriftControl";

// The class is registered while any control holds it and unregistered with
// the last one: after DllCanUnloadNow the library may be unloaded, and a
// class left behind would point into freed code.
SRWLOCK g_classLock = SRWLOCK_INIT;
LONG g_classUsers = 0;

bool AcquireWindowClass(WNDPROC procedure) {
  ::AcquireSRWLockExclusive(&g_classLock);
  bool ok = true;
  if (g_classUsers == 0) {
    WNDCLASSEXA wc{sizeof wc};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = procedure;
    wc.hInstance = module::Instance();
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.lpszClassName = kWindowClass;
    ok = ::RegisterClassExA(&wc) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
  }
  if (ok) ++g_classUsers;
  ::ReleaseSRWLockExclusive(&g_classLock);
  return ok;
}

void ReleaseClassUse() {
  ::AcquireSRWLockExclusive(&g_classLock);
  if (--g_classUsers == 0) ::UnregisterClassA(kWindowClass, module::Instance());
  ::ReleaseSRWLockExclusive(&g_classLock);
}

}  // namespace

void ActiveXControl::ReleaseWindowClass() noexcept {
  if (holdsClass_ && !window_) {
    holdsClass_ = false;
    ReleaseClassUse();
  }
}

HRESULT ActiveXControl::ActivateInPlace(LONG verb, HWND parentHint, LPCRECT posRect) {
  if (!clientSite_) return E_UNEXPECTED;
  if (!inPlaceSite_) {
    ComPtr<IOleInPlaceSite> site;
    if (FAILED(clientSite_.As(site, IID_IOleInPlaceSite))) return E_NOINTERFACE;
    if (site->CanInPlaceActivate() != S_OK) return E_FAIL;
    ThrowIfFailed(site->OnInPlaceActivate());
    inPlaceSite_ = std::move(site);
  }
  if (!window_) {
    HWND parent = nullptr;
    if (FAILED(inPlaceSite_->GetWindow(&parent)) || !parent) parent = parentHint;
    RECT pos{}, clip{};
    OLEINPLACEFRAMEINFO frameInfo{sizeof frameInfo};
    if (FAILED(inPlaceSite_->GetWindowContext(frame_.Put(), document_.Put(), &pos, &clip,
                                              &frameInfo)) &&
        posRect) {
      pos = clip = *posRect;
    }
    if (!holdsClass_) holdsClass_ = AcquireWindowClass(WindowProcedure);
    SIZE size = SizePixels();
    if (holdsClass_) {
      ::CreateWindowExA(0, kWindowClass, "", WS_CHILD | WS_CLIPSIBLINGS, pos.left, pos.top, size.cx,
                        size.cy, parent, nullptr, module::Instance(), this);
    }
    if (!window_) {
      ReleaseWindowClass();
      frame_.Reset();
      document_.Reset();
      ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
      site->OnInPlaceDeactivate();
      return E_FAIL;
    }
    PlaceWindow(pos, clip);
  }
  ::ShowWindow(window_, SW_SHOWNA);
  return verb == OLEIVERB_UIACTIVATE ? ActivateUI() : S_OK;
}

HRESULT ActiveXControl::ActivateUI() {
  if (uiActive_ || !inPlaceSite_) return S_OK;
  uiActive_ = true;
  inPlaceSite_->OnUIActivate();
  if (window_ && ::GetFocus() != window_) ::SetFocus(window_);
  auto* active = static_cast<IOleInPlaceActiveObject*>(this);
  if (frame_) frame_->SetActiveObject(active, nullptr);
  if (document_) document_->SetActiveObject(active, nullptr);
  // No tools of our own: the container keeps all of its border space.
  if (frame_) frame_->SetBorderSpace(nullptr);
  if (document_) document_->SetBorderSpace(nullptr);
  return S_OK;
}

void ActiveXControl::PlaceWindow(const RECT& posRect, const RECT& clipRect) {
  SIZE size = SizePixels();
  RECT own{posRect.left, posRect.top, posRect.left + size.cx, posRect.top + size.cy};
  ::SetWindowPos(window_, nullptr, own.left, own.top, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  // What lies outside the container's clip rectangle is not shown.
  RECT visible{};
  ::IntersectRect(&visible, &own, &clipRect);
  if (::EqualRect(&visible, &own)) {
    ::SetWindowRgn(window_, nullptr, TRUE);
  } else {
    HRGN region = ::CreateRectRgn(visible.left - own.left, visible.top - own.top,
                                  visible.right - own.left, visible.bottom - own.top);
    // The system owns the region once SetWindowRgn took it.
    if (region && !::SetWindowRgn(window_, region, TRUE)) ::DeleteObject(region);
  }
  // The size is fixed: a container that offered another one learns ours.
  bool otherSize =
      posRect.right - posRect.left != size.cx || posRect.bottom - posRect.top != size.cy;
  if (otherSize && inPlaceSite_ && !reportingSize_) {
    reportingSize_ = true;
    inPlaceSite_->OnPosRectChange(&own);
    reportingSize_ = false;
  }
}

// ---- IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject ----

STDMETHODIMP ActiveXControl::GetWindow(HWND* window) {
  if (!window) return E_POINTER;
  *window = window_;
  return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP ActiveXControl::ContextSensitiveHelp(BOOL) { return E_NOTIMPL; }

STDMETHODIMP ActiveXControl::InPlaceDeactivate() {
  if (!inPlaceSite_ && !window_) return S_OK;
  UIDeactivate();
  if (window_) ::DestroyWindow(window_);
  ReleaseWindowClass();
  frame_.Reset();
  document_.Reset();
  ComPtr<IOleInPlaceSite> site = std::move(inPlaceSite_);
  if (site) site->OnInPlaceDeactivate();
  return S_OK;
}

STDMETHODIMP ActiveXControl::UIDeactivate() {
  if (!uiActive_) return S_OK;
  uiActive_ = false;
  if (document_) document_->SetActiveObject(nullptr, nullptr);
  if (frame_) frame_->SetActiveObject(nullptr, nullptr);
  if (inPlaceSite_) inPlaceSite_->OnUIDeactivate(FALSE);
  return S_OK;
}

STDMETHODIMP ActiveXControl::SetObjectRects(LPCRECT posRect, LPCRECT clipRect) {
  if (!posRect) return E_POINTER;
  if (window_) PlaceWindow(*posRect, clipRect ? *clipRect : *posRect);
  return S_OK;
}

STDMETHODIMP ActiveXControl::ReactivateAndUndo() { return INPLACE_E_NOTUNDOABLE; }
STDMETHODIMP ActiveXControl::TranslateAccelerator(LPMSG) { return S_FALSE; }
STDMETHODIMP ActiveXControl::OnFrameWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP ActiveXControl::OnDocWindowActivate(BOOL) { return S_OK; }
STDMETHODIMP ActiveXControl::ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) { return S_OK; }
STDMETHODIMP ActiveXControl::EnableModeless(BOOL) { return S_OK; }

// ---- the window ----

LRESULT CALLBACK ActiveXControl::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                 LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* control =
        static_cast<ActiveXControl*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    control->window_ = window;
    ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
  }
  auto* control = reinterpret_cast<ActiveXControl*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
  if (!control) return ::DefWindowProcA(window, message, wParam, lParam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrA(window, GWLP_USERDATA, 0);
    control->window_ = nullptr;
    return ::DefWindowProcA(window, message, wParam, lParam);
  }
  try {
    return control->OnMessage(message, wParam, lParam);
  } catch (...) {
    return 0;  // nothing may leave a window procedure
  }
}

LRESULT ActiveXControl::OnMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_PAINT:
      OnPaint();
      return 0;
    case WM_ERASEBKGND:
      return 1;  // the paint covers the whole square
    case WM_MOUSEACTIVATE:
      ActivateUI();
      return MA_ACTIVATE;
    case WM_SETFOCUS:
      ActivateUI();
      return 0;
    default:
      return ::DefWindowProcA(window_, message, wParam, lParam);
  }
}

}  // namespace sd

// How the control looks: a fixed square with its label, drawn in its window
// and for the container through IViewObject2.
#include <windows.h>

#include "traylib/com/ActiveXControl.h"

namespace sd {
namespace {

constexpr LONG kTwipsPerInch = 1440;
constexpr LONG kHimetricPerInch = 2540;

// Selects an object into a DC for a scope and puts the previous one back.
class Selected {
 public:
  Selected(HDC dc, HGDIOBJ object) noexcept : dc_(dc), old_(::SelectObject(dc, object)) {}
  Selected(const Selected&) = delete;
  Selected& operator=(const Selected&) = delete;
  ~Selected() {
    if (old_ && old_ != HGDI_ERROR) ::SelectObject(dc_, old_);
  }

 private:
  HDC dc_;
  HGDIOBJ old_;
};

}  // namespace

SIZE ActiveXControl::SizePixels() const noexcept {
  HDC screen = ::GetDC(nullptr);
  int dpiX = screen ? ::GetDeviceCaps(screen, LOGPIXELSX) : 96;
  int dpiY = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 96;
  if (screen) ::ReleaseDC(nullptr, screen);
  return {::MulDiv(info_.sizeTwips, dpiX, kTwipsPerInch),
          ::MulDiv(info_.sizeTwips, dpiY, kTwipsPerInch)};
}

SIZEL ActiveXControl::SizeHimetric() const noexcept {
  LONG side = ::MulDiv(info_.sizeTwips, kHimetricPerInch, kTwipsPerInch);
  return {side, side};
}

void ActiveXControl::PaintLabel(HDC dc, const RECT& bounds) const {
  ::FillRect(dc, &bounds, ::GetSysColorBrush(COLOR_BTNFACE));
  Selected font(dc, ::GetStockObject(DEFAULT_GUI_FONT));
  int oldMode = ::SetBkMode(dc, TRANSPARENT);
  COLORREF oldColor = ::SetTextColor(dc, ::GetSysColor(COLOR_BTNTEXT));
  RECT text = bounds;
  ::DrawTextA(dc, info_.label, -1, &text, DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
  ::SetTextColor(dc, oldColor);
  ::SetBkMode(dc, oldMode);
}

void ActiveXControl::OnPaint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(window_, &ps);
  RECT client;
  ::GetClientRect(window_, &client);
  PaintLabel(dc, client);
  ::EndPaint(window_, &ps);
}

STDMETHODIMP ActiveXControl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc,
                                  LPCRECTL bounds, LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR),
                                  ULONG_PTR) {
  if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
  if (!dc || !bounds) return E_INVALIDARG;
  RECT area{bounds->left, bounds->top, bounds->right, bounds->bottom};
  PaintLabel(dc, area);
  return S_OK;
}

STDMETHODIMP ActiveXControl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC,
                                         LOGPALETTE** colors) {
  if (!colors) return E_POINTER;
  *colors = nullptr;
  return S_FALSE;  // system colours only
}

STDMETHODIMP ActiveXControl::Freeze(DWORD, LONG, void*, DWORD* freeze) {
  if (freeze) *freeze = 0;
  return E_NOTIMPL;
}
STDMETHODIMP ActiveXControl::Unfreeze(DWORD) { return E_NOTIMPL; }

STDMETHODIMP ActiveXControl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
  viewSink_ = ComPtr<IAdviseSink>::Share(sink);
  viewAspects_ = aspects;
  viewFlags_ = flags;
  if (sink && (flags & ADVF_PRIMEFIRST)) sink->OnViewChange(DVASPECT_CONTENT, -1);
  return S_OK;
}

STDMETHODIMP ActiveXControl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
  if (aspects) *aspects = viewAspects_;
  if (flags) *flags = viewFlags_;
  if (sink) viewSink_.CopyTo(sink);
  return S_OK;
}

STDMETHODIMP ActiveXControl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
  return GetExtent(aspect, size);
}

}  // namespace sd

#include "shell/LinkDrop.h"

#include <cstring>
#include <vector>

#include "common/Text.h"

namespace mf {
namespace {

// The formats in the order they are asked for, and whether they hold wide text.
struct TextFormat {
  CLIPFORMAT format;
  bool wide;
};

std::vector<TextFormat> Formats() {
  return {{static_cast<CLIPFORMAT>(RegisterClipboardFormatA("UniformResourceLocatorW")), true},
          {static_cast<CLIPFORMAT>(RegisterClipboardFormatA("UniformResourceLocator")), false},
          {CF_UNICODETEXT, true},
          {CF_TEXT, false}};
}

FORMATETC EtcOf(CLIPFORMAT format) {
  return {format, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
}

// The text of a memory block, no further than its first NUL or its end.
std::wstring BlockText(HGLOBAL block, bool wide) {
  const SIZE_T size = GlobalSize(block);
  const void* p = GlobalLock(block);
  if (!p) return {};
  std::wstring text;
  if (wide) {
    const auto* w = static_cast<const wchar_t*>(p);
    text.assign(w, wcsnlen(w, size / sizeof(wchar_t)));
  } else {
    const auto* a = static_cast<const char*>(p);
    text = FromAnsi(std::string_view(a, strnlen(a, size)));
  }
  GlobalUnlock(block);
  return text;
}

}  // namespace

HRESULT LinkDrop::Register(HWND window) {
  Revoke();
  // OLE drag and drop wants OLE on this thread (RegisterDragDrop); balanced in Revoke.
  oleInitialized_ = SUCCEEDED(OleInitialize(nullptr));
  registration_ = RegisterDragDrop(window, this);
  if (SUCCEEDED(registration_)) window_ = window;
  return registration_;
}

std::vector<std::wstring> LinkDrop::TakeDropped() {
  std::vector<std::wstring> texts;
  texts.swap(dropped_);
  return texts;
}

void LinkDrop::Revoke() {
  if (window_) RevokeDragDrop(window_);
  window_ = nullptr;
  if (oleInitialized_) OleUninitialize();
  oleInitialized_ = false;
}

std::optional<std::wstring> LinkDrop::DroppedText(IDataObject* data) {
  if (!data) return std::nullopt;
  for (const TextFormat& f : Formats()) {
    FORMATETC etc = EtcOf(f.format);
    STGMEDIUM medium{};
    if (FAILED(data->GetData(&etc, &medium))) continue;
    std::wstring text = medium.tymed == TYMED_HGLOBAL ? BlockText(medium.hGlobal, f.wide) : L"";
    ReleaseStgMedium(&medium);
    return text;
  }
  return std::nullopt;
}

STDMETHODIMP LinkDrop::QueryInterface(REFIID iid, void** object) {
  if (!object) return E_POINTER;
  if (iid == IID_IUnknown || iid == IID_IDropTarget) {
    *object = static_cast<IDropTarget*>(this);
    AddRef();
    return S_OK;
  }
  *object = nullptr;
  return E_NOINTERFACE;
}

// The owner keeps the object for the window's life: counted, never deleted here.
STDMETHODIMP_(ULONG) LinkDrop::AddRef() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
STDMETHODIMP_(ULONG) LinkDrop::Release() {
  return static_cast<ULONG>(InterlockedDecrement(&refs_));
}

DWORD LinkDrop::Effect(DWORD allowed) const {
  if (!hasText_) return DROPEFFECT_NONE;
  if (allowed & DROPEFFECT_COPY) return DROPEFFECT_COPY;
  return allowed & DROPEFFECT_LINK ? DROPEFFECT_LINK : DROPEFFECT_NONE;
}

STDMETHODIMP LinkDrop::DragEnter(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  hasText_ = false;
  if (data) {
    for (const TextFormat& f : Formats()) {
      FORMATETC etc = EtcOf(f.format);
      hasText_ = hasText_ || data->QueryGetData(&etc) == S_OK;
    }
  }
  if (effect) *effect = Effect(*effect);
  return S_OK;
}

STDMETHODIMP LinkDrop::DragOver(DWORD, POINTL, DWORD* effect) {
  if (effect) *effect = Effect(*effect);
  return S_OK;
}

STDMETHODIMP LinkDrop::DragLeave() {
  hasText_ = false;
  return S_OK;
}

STDMETHODIMP LinkDrop::Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) {
  std::optional<std::wstring> text = DroppedText(data);
  if (effect) *effect = text ? Effect(*effect) : DROPEFFECT_NONE;
  hasText_ = false;
  if (text && window_) {
    try {
      dropped_.push_back(std::move(*text));
      PostMessageW(window_, notify_, 0, 0);
    } catch (...) {
      // Nothing of the program's may cross back into the drag's source.
    }
  }
  return S_OK;
}

}  // namespace mf

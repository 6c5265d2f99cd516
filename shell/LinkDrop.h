#pragma once
// Links and text dragged onto the main window from a browser or any other
// program, through OLE drag and drop (RegisterDragDrop): the dropped text is
// handed on whole, and the window adds each of its lines as its own item.
// The text is taken from the URL formats of the shell ("UniformResourceLocatorW"
// and its ANSI form), else from plain text (CF_UNICODETEXT, CF_TEXT).
#include <windows.h>
#include <oleidl.h>

#include <optional>
#include <string>
#include <vector>

namespace mf {

class LinkDrop final : public IDropTarget {
 public:
  // Each drop's text is kept, and `notify` posted to the window, so that the
  // window takes the texts in once the drag is over, not inside it.
  explicit LinkDrop(UINT notify) : notify_(notify) {}

  // Registers the object as the drop target of `window` and its children;
  // the result of RegisterDragDrop, kept in Registration().
  HRESULT Register(HWND window);
  HRESULT Registration() const noexcept { return registration_; }
  // Undoes Register; nothing when it did not succeed.
  void Revoke();
  // The texts dropped since the last call, in order.
  std::vector<std::wstring> TakeDropped();

  // The text a drop of this data would give: none when it offers no text.
  static std::optional<std::wstring> DroppedText(IDataObject* data);

  // IUnknown
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;
  // IDropTarget
  STDMETHODIMP DragEnter(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;
  STDMETHODIMP DragOver(DWORD keys, POINTL at, DWORD* effect) override;
  STDMETHODIMP DragLeave() override;
  STDMETHODIMP Drop(IDataObject* data, DWORD keys, POINTL at, DWORD* effect) override;

 private:
  // Copy when the source allows it, otherwise a link; nothing without text.
  DWORD Effect(DWORD allowed) const;

  UINT notify_;
  std::vector<std::wstring> dropped_;
  HRESULT registration_ = E_UNEXPECTED;
  HWND window_ = nullptr;  // registered on, while it is
  bool oleInitialized_ = false;
  bool hasText_ = false;  // what the drag under way offers
  LONG refs_ = 1;         // the owner's reference; it never deletes below one
};

}  // namespace mf

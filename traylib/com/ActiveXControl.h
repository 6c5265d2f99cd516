#pragma once
// What every control of the library offers a container: embedding and
// in-place activation as a windowed control, drawing itself, persistence in
// a property bag or a stream, class information for its events, connection
// points for the events and for property changes, and rich errors. A control
// class derives from DualControl (DualControl.h), which adds its own
// interface, and supplies its properties through the persistence hooks.
//
// Aggregation is supported: every interface's IUnknown goes to the
// controlling unknown, and the control's own reference count is kept by an
// inner IUnknown.
#include <windows.h>
#include <ocidl.h>
#include <oleidl.h>

#include <vector>

#include "traylib/com/ComPtr.h"
#include "traylib/com/ConnectionPoint.h"
#include "traylib/com/ControlInfo.h"

namespace sd {

class PropertyReader;
class PropertyWriter;

class ActiveXControl : public IOleObject,
                       public IOleInPlaceObject,
                       public IOleInPlaceActiveObject,
                       public IOleControl,
                       public IViewObject2,
                       public IPersistStreamInit,
                       public IPersistPropertyBag,
                       public IProvideClassInfo2,
                       public IConnectionPointContainer,
                       public ISupportErrorInfo {
 public:
  ActiveXControl(const ActiveXControl&) = delete;
  ActiveXControl& operator=(const ActiveXControl&) = delete;

  // IUnknown: the controlling unknown's.
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
  STDMETHODIMP_(ULONG) AddRef() override;
  STDMETHODIMP_(ULONG) Release() override;

  // IOleObject
  STDMETHODIMP SetClientSite(IOleClientSite* site) override;
  STDMETHODIMP GetClientSite(IOleClientSite** site) override;
  STDMETHODIMP SetHostNames(LPCOLESTR app, LPCOLESTR document) override;
  STDMETHODIMP Close(DWORD saveOption) override;
  STDMETHODIMP SetMoniker(DWORD which, IMoniker* moniker) override;
  STDMETHODIMP GetMoniker(DWORD assign, DWORD which, IMoniker** moniker) override;
  STDMETHODIMP InitFromData(IDataObject* data, BOOL creation, DWORD reserved) override;
  STDMETHODIMP GetClipboardData(DWORD reserved, IDataObject** data) override;
  STDMETHODIMP DoVerb(LONG verb, LPMSG msg, IOleClientSite* site, LONG index, HWND parent,
                      LPCRECT posRect) override;
  STDMETHODIMP EnumVerbs(IEnumOLEVERB** verbs) override;
  STDMETHODIMP Update() override;
  STDMETHODIMP IsUpToDate() override;
  STDMETHODIMP GetUserClassID(CLSID* clsid) override;
  STDMETHODIMP GetUserType(DWORD form, LPOLESTR* userType) override;
  STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
  STDMETHODIMP Advise(IAdviseSink* sink, DWORD* connection) override;
  STDMETHODIMP Unadvise(DWORD connection) override;
  STDMETHODIMP EnumAdvise(IEnumSTATDATA** advise) override;
  STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
  STDMETHODIMP SetColorScheme(LOGPALETTE* palette) override;

  // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
  STDMETHODIMP GetWindow(HWND* window) override;
  STDMETHODIMP ContextSensitiveHelp(BOOL enterMode) override;
  STDMETHODIMP InPlaceDeactivate() override;
  STDMETHODIMP UIDeactivate() override;
  STDMETHODIMP SetObjectRects(LPCRECT posRect, LPCRECT clipRect) override;
  STDMETHODIMP ReactivateAndUndo() override;
  STDMETHODIMP TranslateAccelerator(LPMSG msg) override;
  STDMETHODIMP OnFrameWindowActivate(BOOL activate) override;
  STDMETHODIMP OnDocWindowActivate(BOOL activate) override;
  STDMETHODIMP ResizeBorder(LPCRECT border, IOleInPlaceUIWindow* window, BOOL frameWindow) override;
  STDMETHODIMP EnableModeless(BOOL enable) override;

  // IOleControl
  STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
  STDMETHODIMP OnMnemonic(MSG* msg) override;
  STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
  STDMETHODIMP FreezeEvents(BOOL freeze) override;

  // IViewObject2
  STDMETHODIMP Draw(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                    HDC targetDevice, HDC dc, LPCRECTL bounds, LPCRECTL metafileBounds,
                    BOOL(STDMETHODCALLTYPE* shouldContinue)(ULONG_PTR), ULONG_PTR value) override;
  STDMETHODIMP GetColorSet(DWORD aspect, LONG index, void* aspectInfo, DVTARGETDEVICE* device,
                           HDC targetDevice, LOGPALETTE** colors) override;
  STDMETHODIMP Freeze(DWORD aspect, LONG index, void* aspectInfo, DWORD* freeze) override;
  STDMETHODIMP Unfreeze(DWORD freeze) override;
  STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
  STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
  STDMETHODIMP GetExtent(DWORD aspect, LONG index, DVTARGETDEVICE* device, LPSIZEL size) override;

  // IPersist, IPersistStreamInit, IPersistPropertyBag
  STDMETHODIMP GetClassID(CLSID* clsid) override;
  STDMETHODIMP IsDirty() override;
  STDMETHODIMP Load(LPSTREAM stream) override;
  STDMETHODIMP Save(LPSTREAM stream, BOOL clearDirty) override;
  STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
  STDMETHODIMP InitNew() override;
  STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
  STDMETHODIMP Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAllProperties) override;

  // IProvideClassInfo2
  STDMETHODIMP GetClassInfo(ITypeInfo** info) override;
  STDMETHODIMP GetGUID(DWORD kind, GUID* guid) override;

  // IConnectionPointContainer
  STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** points) override;
  STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** point) override;

  // ISupportErrorInfo
  STDMETHODIMP InterfaceSupportsErrorInfo(REFIID iid) override;

  // The non-delegating IUnknown, handed out once at creation.
  IUnknown* InnerUnknown() noexcept { return &inner_; }

 protected:
  // `outer` is the controlling unknown when the control is aggregated.
  ActiveXControl(const ControlInfo& info, IUnknown* outer);
  virtual ~ActiveXControl();

  // The interfaces a derived class adds; null when it has none by that IID.
  virtual void* OwnInterface(REFIID iid) noexcept;
  const ControlInfo& Info() const noexcept { return info_; }

  // Persistence hooks: a new instance's start values, and reading and writing
  // the persistent properties in their order. Reading throws to refuse data.
  virtual void InitProperties() = 0;
  virtual void ReadProperties(PropertyReader& reader) = 0;
  virtual void WriteProperties(PropertyWriter& writer) = 0;

  // A persistent property changed: tells the property-change sinks and marks
  // the control dirty, so the container saves it again.
  void PropertyChanged(DISPID id);
  // Calls method `id` of every event sink with `args` (in declaration order),
  // going on past a sink that fails. Nothing goes out while the container has
  // frozen events or the control is being destroyed.
  void RaiseEvent(DISPID id, std::vector<Variant> args);
  // The same from inside a window message of an internal object, where
  // nothing may escape: a failure to raise is dropped.
  void RaiseEventQuietly(DISPID id, std::vector<Variant> args) noexcept;

 private:
  class Inner final : public IUnknown {
   public:
    explicit Inner(ActiveXControl& owner) noexcept : owner_(owner) {}
    STDMETHODIMP QueryInterface(REFIID iid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

   private:
    ActiveXControl& owner_;
  };

  // In-place activation (ControlInPlace.cpp).
  HRESULT ActivateInPlace(LONG verb, HWND parentHint, LPCRECT posRect);
  HRESULT ActivateUI();
  void PlaceWindow(const RECT& posRect, const RECT& clipRect);
  void ReleaseWindowClass() noexcept;
  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  LRESULT OnMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnPaint();
  // Appearance (ControlView.cpp).
  SIZE SizePixels() const noexcept;
  SIZEL SizeHimetric() const noexcept;
  void PaintLabel(HDC dc, const RECT& bounds) const;

  void ClearDirty() noexcept { dirty_ = false; }

  const ControlInfo& info_;
  Inner inner_{*this};
  IUnknown* outer_;
  LONG refs_ = 1;
  bool destroying_ = false;
  bool dirty_ = false;
  LONG frozenEvents_ = 0;

  ComPtr<IOleClientSite> clientSite_;
  ComPtr<IOleAdviseHolder> adviseHolder_;
  ComPtr<IAdviseSink> viewSink_;
  DWORD viewAspects_ = 0;
  DWORD viewFlags_ = 0;

  ComPtr<IOleInPlaceSite> inPlaceSite_;
  ComPtr<IOleInPlaceFrame> frame_;
  ComPtr<IOleInPlaceUIWindow> document_;
  HWND window_ = nullptr;
  bool holdsClass_ = false;  // our window class stays registered while a control may use it
  bool uiActive_ = false;
  bool reportingSize_ = false;

  ConnectionPoint events_;
  ConnectionPoint propertyNotify_;
};

}  // namespace sd

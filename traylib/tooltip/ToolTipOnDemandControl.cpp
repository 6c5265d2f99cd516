#include "traylib/tooltip/ToolTipOnDemandControl.h"

#include "traylib/com/DispatchValues.h"
#include "traylib/com/PropertyStore.h"

namespace sd {
namespace {

// What Show's string arguments hold when the caller left them out.
constexpr wchar_t kEmptyString[] = L"~eMpTyStRiNg";

template <typename T>
HRESULT Get(T* out, T value) {
  if (!out) return E_POINTER;
  *out = value;
  return S_OK;
}

HRESULT GetText(BSTR* out, const std::wstring& value) {
  if (!out) return E_POINTER;
  *out = Bstr(value).Detach();
  return S_OK;
}

}  // namespace

const ControlInfo ToolTipOnDemandControl::kInfo = {
    &CLSID_ToolTipOnDemand, &IID__ToolTipOnDemand, &DIID___ToolTipOnDemand, "TT", 375,
    kControlMiscStatus};

ToolTipOnDemandControl::ToolTipOnDemandControl(IUnknown* outer) : DualControl(kInfo, outer) {}

// Destroying the control closes its balloon; the host, which let go of the
// control, hears nothing more of it.
ToolTipOnDemandControl::~ToolTipOnDemandControl() { ReleaseBalloon(); }

void ToolTipOnDemandControl::ReleaseBalloon() noexcept {
  ComPtr<cToolTipOnDemand> balloon = std::move(balloon_);
  if (balloon) balloon->SetEvents(nullptr);
}

// ---- properties: stored, marked changed, passed on while a balloon object exists ----

STDMETHODIMP ToolTipOnDemandControl::get_TimeOut(LONG* value) {
  return Call([&] { return Get(value, timeOut_); });
}

// Used at the next Show only.
STDMETHODIMP ToolTipOnDemandControl::put_TimeOut(LONG value) {
  return Call([&] {
    timeOut_ = value;
    PropertyChanged(DISPID_ToolTipOnDemand_TimeOut);
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_Centered(VARIANT_BOOL* value) {
  return Call([&] { return Get(value, ToVariantBool(centered_)); });
}

STDMETHODIMP ToolTipOnDemandControl::put_Centered(VARIANT_BOOL value) {
  return Call([&] {
    centered_ = value != VARIANT_FALSE;
    PropertyChanged(DISPID_ToolTipOnDemand_Centered);
    PassOn([&](cToolTipOnDemand& b) { b.Centered(centered_); });
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_Prompt(BSTR* value) {
  return Call([&] { return GetText(value, prompt_); });
}

STDMETHODIMP ToolTipOnDemandControl::put_Prompt(BSTR value) {
  return Call([&] {
    prompt_ = Text(value);
    PropertyChanged(DISPID_ToolTipOnDemand_Prompt);
    PassOn([&](cToolTipOnDemand& b) { b.Prompt(prompt_); });
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_BackColor(LONG* value) {
  return Call([&] { return Get(value, backColor_); });
}

// Kept as given (system colour numbers too); the balloon translates it.
STDMETHODIMP ToolTipOnDemandControl::put_BackColor(LONG value) {
  return Call([&] {
    backColor_ = value;
    PropertyChanged(DISPID_ToolTipOnDemand_BackColor);
    PassOn([&](cToolTipOnDemand& b) { b.BackColor(backColor_); });
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_Title(BSTR* value) {
  return Call([&] { return GetText(value, title_); });
}

STDMETHODIMP ToolTipOnDemandControl::put_Title(BSTR value) {
  return Call([&] {
    title_ = Text(value);
    PropertyChanged(DISPID_ToolTipOnDemand_Title);
    PassOn([&](cToolTipOnDemand& b) { b.Title(title_); });
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_ForeColor(LONG* value) {
  return Call([&] { return Get(value, foreColor_); });
}

STDMETHODIMP ToolTipOnDemandControl::put_ForeColor(LONG value) {
  return Call([&] {
    foreColor_ = value;
    PropertyChanged(DISPID_ToolTipOnDemand_ForeColor);
    PassOn([&](cToolTipOnDemand& b) { b.ForeColor(foreColor_); });
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_ParentHwnd(LONG* value) {
  return Call([&] { return Get(value, parentHwnd_); });
}

STDMETHODIMP ToolTipOnDemandControl::put_ParentHwnd(LONG value) {
  return Call([&] {
    parentHwnd_ = value;
    PropertyChanged(DISPID_ToolTipOnDemand_ParentHwnd);
    PassOn([&](cToolTipOnDemand& b) { b.ParentHwnd(WindowOf(parentHwnd_)); });
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_y(LONG* value) {
  return Call([&] { return Get(value, y_); });
}

// A shown balloon moves at once; a position out of range fails the call
// (the value stays stored, as the balloon object keeps it too).
STDMETHODIMP ToolTipOnDemandControl::put_y(LONG value) {
  return Call([&] {
    y_ = value;
    PropertyChanged(DISPID_ToolTipOnDemand_y);
    PassOn([&](cToolTipOnDemand& b) { b.y(y_); });
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_x(LONG* value) {
  return Call([&] { return Get(value, x_); });
}

STDMETHODIMP ToolTipOnDemandControl::put_x(LONG value) {
  return Call([&] {
    x_ = value;
    PropertyChanged(DISPID_ToolTipOnDemand_x);
    PassOn([&](cToolTipOnDemand& b) { b.x(x_); });
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_IconType(blIconType* value) {
  return Call([&] { return Get(value, static_cast<blIconType>(iconType_)); });
}

STDMETHODIMP ToolTipOnDemandControl::put_IconType(blIconType value) {
  return Call([&] {
    iconType_ = value;
    PropertyChanged(DISPID_ToolTipOnDemand_IconType);
    PassOn([&](cToolTipOnDemand& b) { b.IconType(iconType_); });
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::get_Style(blStyleEnum* value) {
  return Call([&] { return Get(value, static_cast<blStyleEnum>(style_)); });
}

// Takes effect at the next Show.
STDMETHODIMP ToolTipOnDemandControl::put_Style(blStyleEnum value) {
  return Call([&] {
    style_ = value;
    PropertyChanged(DISPID_ToolTipOnDemand_Style);
    PassOn([&](cToolTipOnDemand& b) { b.Style(style_); });
    return S_OK;
  });
}

// ---- methods ----

// A by-reference argument a caller of the vtable left null counts as left out.
// The arguments are taken without marking anything changed: the host passed
// them for this balloon.
STDMETHODIMP ToolTipOnDemandControl::Show(blIconType* enIconType, BSTR* sPrompt, BSTR* sTitle,
                                          LONG* lTimeout) {
  return Call([&] {
    if (enIconType && *enIconType >= 0) iconType_ = *enIconType;
    if (sPrompt && Text(*sPrompt) != kEmptyString) prompt_ = Text(*sPrompt);
    if (sTitle && Text(*sTitle) != kEmptyString) title_ = Text(*sTitle);
    if (lTimeout && *lTimeout >= 0) timeOut_ = *lTimeout;

    // The previous balloon closes before the new one opens.
    ReleaseBalloon();
    ComPtr<cToolTipOnDemand> balloon = MakeRef<cToolTipOnDemand>();
    balloon->SetEvents(this);
    balloon->x(x_);
    balloon->y(y_);
    balloon->Style(style_);
    balloon->ParentHwnd(WindowOf(parentHwnd_));
    balloon->ForeColor(foreColor_);
    balloon->BackColor(backColor_);
    balloon->Centered(centered_);
    balloon_ = ComPtr<cToolTipOnDemand>::Share(balloon.Get());
    try {
      balloon->Show(iconType_, prompt_, title_, timeOut_);
    } catch (...) {
      // A balloon object whose window could not be made is not kept.
      if (balloon_.Get() == balloon.Get()) ReleaseBalloon();
      throw;
    }
    return S_OK;
  });
}

STDMETHODIMP ToolTipOnDemandControl::Destroy() {
  return Call([&] {
    // Held here: the host may call us again from BalloonDestroyed.
    auto balloon = ComPtr<cToolTipOnDemand>::Share(balloon_.Get());
    if (!balloon) return S_OK;
    balloon->Destroy();
    if (balloon_.Get() == balloon.Get()) ReleaseBalloon();
    return S_OK;
  });
}

// ---- events of the balloon object ----

// The event passes the message by reference, as the event interface declares it.
void ToolTipOnDemandControl::MouseEvents(LONG mouseEvent) {
  LONG value = mouseEvent;
  Variant arg;
  V_VT(arg.Get()) = VT_I4 | VT_BYREF;
  V_I4REF(arg.Get()) = &value;
  std::vector<Variant> args;
  args.push_back(std::move(arg));
  RaiseEventQuietly(DISPID_ToolTipOnDemand_MouseEvents, std::move(args));
}

void ToolTipOnDemandControl::BalloonDestroyed() {
  RaiseEventQuietly(DISPID_ToolTipOnDemand_BalloonDestroyed, {});
}

void ToolTipOnDemandControl::BalloonShowed() {
  RaiseEventQuietly(DISPID_ToolTipOnDemand_BalloonShowed, {});
}

// ---- persistence ----

// Every instance starts with the start values (set at construction); a new
// one has no defaults step of its own.
void ToolTipOnDemandControl::InitProperties() {}

void ToolTipOnDemandControl::ReadProperties(PropertyReader& reader) {
  // All are read before any is kept, so data that fails to read leaves the
  // control as it was.
  LONG style = reader.ReadLong(L"Style", blBalloon);
  LONG iconType = reader.ReadLong(L"IconType", blNoIcon);
  LONG x = reader.ReadLong(L"x", 0);
  LONG y = reader.ReadLong(L"y", 0);
  LONG parentHwnd = reader.ReadLong(L"ParentHwnd", 0);
  LONG foreColor = reader.ReadLong(L"ForeColor", 0);
  LONG backColor = reader.ReadLong(L"BackColor", kTooltipBackColor);
  std::wstring title = reader.ReadString(L"Title", L"");
  std::wstring prompt = reader.ReadString(L"Prompt", L"");
  bool centered = reader.ReadBool(L"Centered", false);
  LONG timeOut = reader.ReadLong(L"TimeOut", 0);
  style_ = style;
  iconType_ = iconType;
  x_ = x;
  y_ = y;
  parentHwnd_ = parentHwnd;
  foreColor_ = foreColor;
  backColor_ = backColor;
  title_ = std::move(title);
  prompt_ = std::move(prompt);
  centered_ = centered;
  timeOut_ = timeOut;
}

void ToolTipOnDemandControl::WriteProperties(PropertyWriter& writer) {
  writer.WriteLong(L"Style", style_, blBalloon);
  writer.WriteLong(L"IconType", iconType_, blNoIcon);
  writer.WriteLong(L"x", x_, 0);
  writer.WriteLong(L"y", y_, 0);
  writer.WriteLong(L"ParentHwnd", parentHwnd_, 0);
  writer.WriteLong(L"ForeColor", foreColor_, 0);
  writer.WriteLong(L"BackColor", backColor_, kTooltipBackColor);
  writer.WriteString(L"Title", title_, L"");
  writer.WriteString(L"Prompt", prompt_, L"");
  writer.WriteBool(L"Centered", centered_, false);
  writer.WriteLong(L"TimeOut", timeOut_, 0);
}

}  // namespace sd

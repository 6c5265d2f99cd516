// Saving and loading the control's properties through a container's
// property bag and through a stream.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/traylib/com/ComTest.h"

namespace sdtest {
namespace {

const std::vector<std::wstring> kOrder = {L"TrayIconVisible", L"ToolTip",
                                          L"IconMovementTrackInterval", L"TrackIconMovement"};

struct Control {
  Ref<IDispatch> dispatch = CreateTrayIcon();
  Ref<IPersistPropertyBag> bag = dispatch.As<IPersistPropertyBag>(IID_IPersistPropertyBag);
  Ref<IPersistStreamInit> stream = dispatch.As<IPersistStreamInit>(IID_IPersistStreamInit);
  IDispatch* operator->() const { return dispatch.Get(); }

  void SetNonDefaults() {
    Put(dispatch.Get(), id::TrayIconVisible, Var(false).v);
    Put(dispatch.Get(), id::ToolTip, Var(L"Marrowfin downloads").v);
    Put(dispatch.Get(), id::IconMovementTrackInterval, Var(0L).v);  // stored as 1
    Put(dispatch.Get(), id::TrackIconMovement, Var(true).v);
    Put(dispatch.Get(), id::IconHandle, Var(0x10005L).v);
  }
  void ExpectNonDefaults() {
    EXPECT_FALSE(GetBool(dispatch.Get(), id::TrayIconVisible));
    EXPECT_EQ(L"Marrowfin downloads", GetString(dispatch.Get(), id::ToolTip));
    EXPECT_EQ(1, GetLong(dispatch.Get(), id::IconMovementTrackInterval));
    EXPECT_TRUE(GetBool(dispatch.Get(), id::TrackIconMovement));
  }
  void ExpectDefaults() {
    EXPECT_TRUE(GetBool(dispatch.Get(), id::TrayIconVisible));
    EXPECT_EQ(L"", GetString(dispatch.Get(), id::ToolTip));
    EXPECT_EQ(500, GetLong(dispatch.Get(), id::IconMovementTrackInterval));
    EXPECT_FALSE(GetBool(dispatch.Get(), id::TrackIconMovement));
  }
};

Ref<IStream> NewStream() {
  Ref<IStream> stream;
  EXPECT_EQ(S_OK, CreateStreamOnHGlobal(nullptr, TRUE, stream.Put()));
  return stream;
}

void Rewind(IStream* stream) {
  LARGE_INTEGER zero{};
  stream->Seek(zero, STREAM_SEEK_SET, nullptr);
}

ULONGLONG Position(IStream* stream) {
  LARGE_INTEGER zero{};
  ULARGE_INTEGER at{};
  stream->Seek(zero, STREAM_SEEK_CUR, &at);
  return at.QuadPart;
}

TEST(PropertyBag, DefaultsAreLeftOutUnlessEveryPropertyIsAsked) {
  Control control;
  ASSERT_EQ(S_OK, control.bag->InitNew());
  Ref<MemoryBag> sparse = MemoryBag::Create();
  ASSERT_EQ(S_OK, control.bag->Save(sparse.Get(), TRUE, FALSE));
  EXPECT_TRUE(sparse->values.empty());

  Ref<MemoryBag> full = MemoryBag::Create();
  ASSERT_EQ(S_OK, control.bag->Save(full.Get(), TRUE, TRUE));
  ASSERT_EQ(kOrder, full->Names());
  EXPECT_EQ(VARIANT_TRUE, V_BOOL(full->Find(L"TrayIconVisible")));
  EXPECT_STREQ(L"", V_BSTR(full->Find(L"ToolTip")));
  EXPECT_EQ(500, V_I4(full->Find(L"IconMovementTrackInterval")));
  EXPECT_EQ(VARIANT_FALSE, V_BOOL(full->Find(L"TrackIconMovement")));
}

TEST(PropertyBag, RoundTripKeepsTheFourInOrderButNeverTheIconHandle) {
  Control saved;
  saved.bag->InitNew();
  saved.SetNonDefaults();
  Ref<MemoryBag> bag = MemoryBag::Create();
  ASSERT_EQ(S_OK, saved.bag->Save(bag.Get(), TRUE, FALSE));
  ASSERT_EQ(kOrder, bag->Names());
  EXPECT_EQ(1, V_I4(bag->Find(L"IconMovementTrackInterval")));

  Control loaded;
  ASSERT_EQ(S_OK, loaded.bag->Load(bag.Get(), nullptr));
  loaded.ExpectNonDefaults();
  EXPECT_EQ(0, GetLong(loaded.dispatch.Get(), id::IconHandle));
}

TEST(PropertyBag, MissingPropertiesTakeTheirDefaults) {
  Control control;
  control.SetNonDefaults();
  Ref<MemoryBag> empty = MemoryBag::Create();
  ASSERT_EQ(S_OK, control.bag->Load(empty.Get(), nullptr));
  control.ExpectDefaults();
}

TEST(PropertyBag, ValuesAreConvertedAndUnreadableOnesRefuseTheLoad) {
  Ref<MemoryBag> bag = MemoryBag::Create();
  bag->Set(L"TrayIconVisible", Var(L"False").v);
  bag->Set(L"IconMovementTrackInterval", Var(L"250").v);
  bag->Set(L"ToolTip", Var(42L).v);
  Control control;
  ASSERT_EQ(S_OK, control.bag->Load(bag.Get(), nullptr));
  EXPECT_FALSE(GetBool(control.dispatch.Get(), id::TrayIconVisible));
  EXPECT_EQ(250, GetLong(control.dispatch.Get(), id::IconMovementTrackInterval));
  EXPECT_EQ(L"42", GetString(control.dispatch.Get(), id::ToolTip));

  Ref<MemoryBag> bad = MemoryBag::Create();
  bad->Set(L"ToolTip", Var(L"not kept").v);
  bad->Set(L"IconMovementTrackInterval", Var(L"soon").v);
  EXPECT_TRUE(FAILED(control.bag->Load(bad.Get(), nullptr)));
  EXPECT_EQ(L"42", GetString(control.dispatch.Get(), id::ToolTip)) << "nothing half loaded";
}

TEST(Stream, RoundTripAndOnlyOurPartIsRead) {
  Control saved;
  saved.stream->InitNew();
  saved.SetNonDefaults();
  Ref<IStream> stream = NewStream();
  ASSERT_EQ(S_OK, saved.stream->Save(stream.Get(), TRUE));
  ULARGE_INTEGER size{};
  ASSERT_EQ(S_OK, saved.stream->GetSizeMax(&size));
  EXPECT_EQ(size.QuadPart, Position(stream.Get()));
  // A container may keep its own data behind ours.
  const char trailer[] = "next";
  stream->Write(trailer, 4, nullptr);

  Rewind(stream.Get());
  Control loaded;
  ASSERT_EQ(S_OK, loaded.stream->Load(stream.Get()));
  EXPECT_EQ(size.QuadPart, Position(stream.Get()));
  loaded.ExpectNonDefaults();
  EXPECT_EQ(0, GetLong(loaded.dispatch.Get(), id::IconHandle));
}

TEST(Stream, SavedDefaultsLoadAsDefaults) {
  Control fresh;
  fresh.stream->InitNew();
  Ref<IStream> stream = NewStream();
  ASSERT_EQ(S_OK, fresh.stream->Save(stream.Get(), TRUE));
  ULARGE_INTEGER withDefaults{};
  fresh.stream->GetSizeMax(&withDefaults);

  Control changed;
  changed.SetNonDefaults();
  ULARGE_INTEGER withValues{};
  changed.stream->GetSizeMax(&withValues);
  EXPECT_LT(withDefaults.QuadPart, withValues.QuadPart) << "defaults are left out";

  Rewind(stream.Get());
  ASSERT_EQ(S_OK, changed.stream->Load(stream.Get()));
  changed.ExpectDefaults();
}

TEST(Stream, DamagedOrForeignDataIsRefused) {
  Control saved;
  saved.SetNonDefaults();
  Ref<IStream> whole = NewStream();
  ASSERT_EQ(S_OK, saved.stream->Save(whole.Get(), TRUE));
  ULONGLONG size = Position(whole.Get());
  std::vector<BYTE> bytes(size);
  Rewind(whole.Get());
  whole->Read(bytes.data(), static_cast<ULONG>(size), nullptr);

  auto loadFrom = [](const std::vector<BYTE>& data) {
    Ref<IStream> stream = NewStream();
    stream->Write(data.data(), static_cast<ULONG>(data.size()), nullptr);
    Rewind(stream.Get());
    Control control;
    HRESULT hr = control.stream->Load(stream.Get());
    if (FAILED(hr)) control.ExpectDefaults();
    return hr;
  };
  ASSERT_EQ(S_OK, loadFrom(bytes));
  std::vector<BYTE> cut(bytes.begin(), bytes.end() - 3);
  EXPECT_TRUE(FAILED(loadFrom(cut)));
  std::vector<BYTE> foreign = bytes;
  foreign[0] ^= 0xFF;
  EXPECT_TRUE(FAILED(loadFrom(foreign)));
  // A name length that runs past the end.
  std::vector<BYTE> overlong = bytes;
  overlong[8] = 0xFF;
  overlong[9] = 0x7F;
  EXPECT_TRUE(FAILED(loadFrom(overlong)));
  EXPECT_TRUE(FAILED(loadFrom({})));
}

// A stream that takes only half of what is written.
class ShortStream final : public IStream {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IStream || iid == IID_ISequentialStream) {
      *object = static_cast<IStream*>(this);
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP Read(void*, ULONG, ULONG* read) override {
    if (read) *read = 0;
    return S_FALSE;
  }
  STDMETHODIMP Write(const void*, ULONG size, ULONG* written) override {
    if (written) *written = size / 2;
    return S_OK;
  }
  STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
  STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
  STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
    return E_NOTIMPL;
  }
  STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Revert() override { return E_NOTIMPL; }
  STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
  STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }
};

TEST(Stream, ASaveThatWasNotWhollyWrittenFailsAndStaysDirty) {
  Control control;
  control.stream->InitNew();
  Put(control.dispatch.Get(), id::ToolTip, Var(L"kept dirty").v);
  ShortStream shortStream;
  EXPECT_TRUE(FAILED(control.stream->Save(&shortStream, TRUE)));
  EXPECT_EQ(S_OK, control.stream->IsDirty());
}

TEST(Dirty, PersistentChangesMakeTheControlDirtyUntilSaved) {
  Control control;
  ASSERT_EQ(S_OK, control.stream->InitNew());
  EXPECT_EQ(S_FALSE, control.stream->IsDirty());
  Put(control.dispatch.Get(), id::IconHandle, Var(5L).v);
  EXPECT_EQ(S_FALSE, control.stream->IsDirty()) << "IconHandle is not persistent";
  Put(control.dispatch.Get(), id::TrackIconMovement, Var(true).v);
  EXPECT_EQ(S_OK, control.stream->IsDirty());

  Ref<IStream> stream = NewStream();
  ASSERT_EQ(S_OK, control.stream->Save(stream.Get(), FALSE));
  EXPECT_EQ(S_OK, control.stream->IsDirty()) << "asked not to clear";
  Ref<MemoryBag> bag = MemoryBag::Create();
  ASSERT_EQ(S_OK, control.bag->Save(bag.Get(), TRUE, FALSE));
  EXPECT_EQ(S_FALSE, control.stream->IsDirty());

  CLSID clsid{};
  ASSERT_EQ(S_OK, control.stream->GetClassID(&clsid));
  EXPECT_TRUE(IsEqualCLSID(CLSID_TrayIcon, clsid));
}

}  // namespace
}  // namespace sdtest

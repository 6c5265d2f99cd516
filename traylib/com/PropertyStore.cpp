#include "traylib/com/PropertyStore.h"

#include <oleauto.h>

#include <cstring>

#include "traylib/com/ComError.h"

namespace sd {
namespace {

constexpr DWORD kSignature = 0x31504251;  // "QBP1"
// Far above anything a control stores: a larger count means damaged data.
constexpr DWORD kLargestPayload = 1 << 20;
const HRESULT kDamaged = HRESULT_FROM_WIN32(ERROR_INVALID_DATA);

void AppendBytes(std::vector<BYTE>& out, const void* data, size_t size) {
  if (size == 0) return;
  size_t at = out.size();
  out.resize(at + size);
  std::memcpy(out.data() + at, data, size);
}

template <typename T>
void Append(std::vector<BYTE>& out, T value) {
  AppendBytes(out, &value, sizeof(T));
}

void AppendChars(std::vector<BYTE>& out, const wchar_t* text, size_t count) {
  AppendBytes(out, text, count * sizeof(wchar_t));
}

// Reads the payload front to back; any read past its end means damage.
class Cursor {
 public:
  explicit Cursor(const std::vector<BYTE>& data) : data_(data) {}
  bool AtEnd() const { return at_ == data_.size(); }
  template <typename T>
  T Take() {
    Need(sizeof(T));
    T value;
    std::memcpy(&value, data_.data() + at_, sizeof(T));
    at_ += sizeof(T);
    return value;
  }
  std::wstring TakeChars(size_t count) {
    if (count > data_.size()) throw ComError(kDamaged);
    Need(count * sizeof(wchar_t));
    std::wstring text(count, L'\0');
    std::memcpy(text.data(), data_.data() + at_, count * sizeof(wchar_t));
    at_ += count * sizeof(wchar_t);
    return text;
  }

 private:
  void Need(size_t bytes) const {
    if (data_.size() - at_ < bytes) throw ComError(kDamaged);
  }
  const std::vector<BYTE>& data_;
  size_t at_ = 0;
};

void ReadExactly(IStream& stream, void* buffer, ULONG size) {
  ULONG got = 0;
  HRESULT hr = stream.Read(buffer, size, &got);
  ThrowIfFailed(hr);
  if (got != size) throw ComError(kDamaged);
}

}  // namespace

void PropertyWriter::WriteBool(const wchar_t* name, bool value, bool defaultValue) {
  Write(name, *Variant::Bool(value).Get(), value == defaultValue);
}

void PropertyWriter::WriteLong(const wchar_t* name, LONG value, LONG defaultValue) {
  Write(name, *Variant::Long(value).Get(), value == defaultValue);
}

void PropertyWriter::WriteString(const wchar_t* name, const std::wstring& value,
                                 const std::wstring& defaultValue) {
  Write(name, *Variant::String(value).Get(), value == defaultValue);
}

bool PropertyReader::ReadBool(const wchar_t* name, bool defaultValue) {
  Variant value;
  if (!Read(name, VT_BOOL, value)) return defaultValue;
  return V_BOOL(value.Get()) != VARIANT_FALSE;
}

LONG PropertyReader::ReadLong(const wchar_t* name, LONG defaultValue) {
  Variant value;
  if (!Read(name, VT_I4, value)) return defaultValue;
  return V_I4(value.Get());
}

std::wstring PropertyReader::ReadString(const wchar_t* name, const std::wstring& defaultValue) {
  Variant value;
  if (!Read(name, VT_BSTR, value)) return defaultValue;
  BSTR text = V_BSTR(value.Get());
  return text ? std::wstring(text, ::SysStringLen(text)) : std::wstring();
}

void BagWriter::Write(const wchar_t* name, const VARIANT& value, bool isDefault) {
  if (isDefault && !saveAll_) return;
  ThrowIfFailed(bag_.Write(name, const_cast<VARIANT*>(&value)));
}

bool BagReader::Read(const wchar_t* name, VARTYPE type, Variant& value) {
  Variant stored;
  // VT_EMPTY asks for the value as the bag holds it; the conversion is ours.
  if (FAILED(bag_.Read(name, stored.Put(), log_))) return false;  // absent: the default applies
  ThrowIfFailed(::VariantChangeType(value.Put(), stored.Get(), 0, type));
  return true;
}

void StreamWriter::Write(const wchar_t* name, const VARIANT& value, bool isDefault) {
  if (isDefault) return;
  size_t nameLength = wcslen(name);
  Append<WORD>(payload_, static_cast<WORD>(nameLength));
  AppendChars(payload_, name, nameLength);
  Append<WORD>(payload_, V_VT(&value));
  switch (V_VT(&value)) {
    case VT_BOOL:
      Append<SHORT>(payload_, V_BOOL(&value));
      break;
    case VT_I4:
      Append<LONG>(payload_, V_I4(&value));
      break;
    case VT_BSTR: {
      UINT length = ::SysStringLen(V_BSTR(&value));
      Append<DWORD>(payload_, length);
      AppendChars(payload_, V_BSTR(&value), length);
      break;
    }
    default:
      throw ComError(DISP_E_BADVARTYPE);
  }
}

std::vector<BYTE> StreamWriter::Bytes() const {
  std::vector<BYTE> bytes;
  Append<DWORD>(bytes, kSignature);
  Append<DWORD>(bytes, static_cast<DWORD>(payload_.size()));
  AppendBytes(bytes, payload_.data(), payload_.size());
  return bytes;
}

void StreamWriter::SaveTo(IStream& stream) const {
  std::vector<BYTE> bytes = Bytes();
  ULONG written = 0;
  ThrowIfFailed(stream.Write(bytes.data(), static_cast<ULONG>(bytes.size()), &written));
  if (written != bytes.size()) throw ComError(STG_E_MEDIUMFULL);
}

StreamReader::StreamReader(IStream& stream) {
  DWORD header[2];
  ReadExactly(stream, header, sizeof header);
  if (header[0] != kSignature || header[1] > kLargestPayload) throw ComError(kDamaged);
  std::vector<BYTE> payload(header[1]);
  if (!payload.empty()) ReadExactly(stream, payload.data(), header[1]);
  Cursor cursor(payload);
  while (!cursor.AtEnd()) {
    std::wstring name = cursor.TakeChars(cursor.Take<WORD>());
    Variant value;
    VARTYPE type = cursor.Take<WORD>();
    switch (type) {
      case VT_BOOL:
        value = Variant::Bool(cursor.Take<SHORT>() != 0);
        break;
      case VT_I4:
        value = Variant::Long(cursor.Take<LONG>());
        break;
      case VT_BSTR:
        value = Variant::String(cursor.TakeChars(cursor.Take<DWORD>()));
        break;
      default:
        throw ComError(kDamaged);
    }
    values_[name] = std::move(value);
  }
}

bool StreamReader::Read(const wchar_t* name, VARTYPE type, Variant& value) {
  auto found = values_.find(name);
  if (found == values_.end()) return false;
  ThrowIfFailed(::VariantChangeType(value.Put(), found->second.Get(), 0, type));
  return true;
}

}  // namespace sd

#pragma once
// The persistent properties of a control, read and written by name through
// one interface whatever the container offers: its property bag, or a stream
// in our own format. Both leave out a value that equals its default unless
// the container asks for every property.
#include <windows.h>
#include <ocidl.h>

#include <map>
#include <string>
#include <vector>

#include "traylib/com/ComPtr.h"

namespace sd {

class PropertyWriter {
 public:
  virtual ~PropertyWriter() = default;
  void WriteBool(const wchar_t* name, bool value, bool defaultValue);
  void WriteLong(const wchar_t* name, LONG value, LONG defaultValue);
  void WriteString(const wchar_t* name, const std::wstring& value,
                   const std::wstring& defaultValue);

 protected:
  // Throws ComError when the value cannot be stored.
  virtual void Write(const wchar_t* name, const VARIANT& value, bool isDefault) = 0;
};

class PropertyReader {
 public:
  virtual ~PropertyReader() = default;
  // A stored value that cannot be turned into the property's type throws.
  bool ReadBool(const wchar_t* name, bool defaultValue);
  LONG ReadLong(const wchar_t* name, LONG defaultValue);
  std::wstring ReadString(const wchar_t* name, const std::wstring& defaultValue);

 protected:
  // Fills `value` with the stored value converted to `type`; false when there is none.
  virtual bool Read(const wchar_t* name, VARTYPE type, Variant& value) = 0;
};

class BagWriter final : public PropertyWriter {
 public:
  BagWriter(IPropertyBag& bag, bool saveAll) noexcept : bag_(bag), saveAll_(saveAll) {}

 private:
  void Write(const wchar_t* name, const VARIANT& value, bool isDefault) override;
  IPropertyBag& bag_;
  bool saveAll_;
};

class BagReader final : public PropertyReader {
 public:
  BagReader(IPropertyBag& bag, IErrorLog* log) noexcept : bag_(bag), log_(log) {}

 private:
  bool Read(const wchar_t* name, VARTYPE type, Variant& value) override;
  IPropertyBag& bag_;
  IErrorLog* log_;
};

// Stream layout: the signature "QBP1", the byte count of what follows, then
// per property its name (16-bit length, UTF-16 characters), its VARTYPE
// (16 bits) and its value: VT_BOOL 16 bits, VT_I4 32 bits, VT_BSTR a 32-bit
// length and UTF-16 characters. All little-endian. The byte count lets a
// container keep other data after ours in the same stream.
class StreamWriter final : public PropertyWriter {
 public:
  // Everything written so far as it goes into the stream.
  std::vector<BYTE> Bytes() const;
  // Writes Bytes() to the stream; fails unless every byte was taken.
  void SaveTo(IStream& stream) const;

 private:
  void Write(const wchar_t* name, const VARIANT& value, bool isDefault) override;
  std::vector<BYTE> payload_;
};

class StreamReader final : public PropertyReader {
 public:
  // Reads and checks our part of the stream; throws ComError when it is not ours or damaged.
  explicit StreamReader(IStream& stream);

 private:
  bool Read(const wchar_t* name, VARTYPE type, Variant& value) override;
  std::map<std::wstring, Variant> values_;
};

}  // namespace sd

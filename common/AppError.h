#pragma once
// An error raised to a caller with a number, a description and a source, the
// way the program's components report failures to their owners.
#include <stdexcept>
#include <string>

namespace mf {

class AppError : public std::runtime_error {
 public:
  AppError(long number, std::wstring description, std::wstring source = {})
      : std::runtime_error("AppError"),
        number_(number),
        description_(std::move(description)),
        source_(std::move(source)) {}

  long Number() const noexcept { return number_; }
  const std::wstring& Description() const noexcept { return description_; }
  const std::wstring& Source() const noexcept { return source_; }

 private:
  long number_;
  std::wstring description_;
  std::wstring source_;
};

}  // namespace mf

// What Windows says about the look of windows, and the dark title bar.
#include <windows.h>

#include "shell/MainFrame.h"

namespace mf {
namespace {

class RealSystemLook final : public ISystemLook {
 public:
  bool HighContrast() override {
    HIGHCONTRASTW hc{sizeof hc};
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof hc, &hc, 0) &&
           (hc.dwFlags & HCF_HIGHCONTRASTON);
  }
  // A DWORD, which CRegister (texts only) does not read; missing (before
  // Windows 10 1809) means light.
  bool DarkApps() override {
    DWORD value = 1, size = sizeof value;
    return RegGetValueW(HKEY_CURRENT_USER,
                        L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize",
                        L"AppsUseLightTheme", RRF_RT_REG_DWORD, nullptr, &value,
                        &size) == ERROR_SUCCESS &&
           value == 0;
  }
};

}  // namespace

ISystemLook& SystemLook() {
  static RealSystemLook look;
  return look;
}

}  // namespace mf

// Which camera is attached, its version and its controller generation; and
// "Get Version", which only resets the camera so that it comes back.

#include <optional>

#include "device/Device.h"
#include "ui/ZarnetDlg.h"

namespace {

constexpr uint16_t kGenerationRegister = 0xFE21;

}  // namespace

std::optional<uint8_t> GenerationForKey(uint16_t key) {
  switch (key) {
    case 0x0010:
    case 0x0110:
    case 0x0210: return 1;
    case 0x0030:
    case 0x0130:
    case 0x0230: return 3;
    case 0x0040: return 2;
    case 0x8000:
    case 0x8100:
    case 0x8200:
    case 0x8400:
    case 0x8500:
    case 0x8600:
    case 0x8700:
    case 0x8800: return 0;
    default: return std::nullopt;
  }
}

std::string CZarnetDlg::FormatVersionText(const std::string& version) { return "Ver: " + version; }

void CZarnetDlg::IdentifyCamera() {
  if (m_cameraKey != 0) CloseCamera(m_cameraKey);
  int32_t index = 0;
  m_cameraKey = OpenCamera(&index);
  if (m_cameraKey != 0 && !IsIdentifiedCamera(m_cameraKey)) {
    CloseCamera(m_cameraKey);
    m_cameraKey = 0;
  }
  if (m_cameraKey == 0) {
    m_strStatus = "No Corvex Camera";
    m_strVersion = "Ver: N/A";
    ShowTexts();
    UpdateControlStates();
    return;
  }
  std::string label;
  if (ReadVendorCode(m_cameraKey, &label, &m_strVersion)) m_strVersion = FormatVersionText(m_strVersion);

  uint8_t bytes[2] = {0xFF, 0xFF};
  ReadMemory(m_cameraKey, kGenerationRegister, 2, bytes);
  const uint16_t key = static_cast<uint16_t>(bytes[0] << 8 | (bytes[1] & 0xF0));
  if (const auto generation = GenerationForKey(key)) m_chipGen = *generation;

  m_strStatus = "Corvex Camera Connected";
  ShowTexts();
  UpdateControlStates();
}

void CZarnetDlg::OnGetVersion() {
  if (m_cameraKey == 0) {
    int32_t index = 0;
    m_cameraKey = OpenCamera(&index);
  }
  if (m_cameraKey == 0) return;
  ResetDevice(m_cameraKey);
  CloseCamera(m_cameraKey);
  m_cameraKey = 0;
}

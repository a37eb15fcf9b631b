#include "phone_link.h"

#include <vector>

namespace trellune::phone {

PhoneLink::PhoneLink(P2kApi& api, Sleeper& sleeper, PhoneLinkHooks hooks)
    : api_(api), sleeper_(sleeper), hooks_(std::move(hooks)) {}

void PhoneLink::Report(const std::string& text) {
  if (hooks_.report) hooks_.report({text, ""});
}

bool PhoneLink::ConnectPhone() {
  if (session_.PhoneConnected || started_) return true;
  if (api_.P2K_Init([this](int connected) { OnPhoneState(connected); }) == kFailure) {
    Report("Error initializing P2KAPI library");
    return false;
  }
  started_ = true;
  return true;
}

// The model name is stored as 16-bit characters, high byte first, up to a character whose two
// bytes are zero; the low byte of each is kept.
std::string PhoneLink::ModelName(const std::uint8_t* seem, std::size_t size) {
  std::string name;
  for (std::size_t i = 0; i + 1 < size && (seem[i] || seem[i + 1]); i += 2)
    name.push_back(char(seem[i + 1]));
  return name;
}

// The version string starts at byte 4 and ends at its zero byte.
std::string PhoneLink::FirmwareVersion(const std::uint8_t* seem, std::size_t size) {
  std::string version;
  for (std::size_t i = 4; i < size && seem[i]; ++i) version.push_back(char(seem[i]));
  return version;
}

void PhoneLink::OnPhoneState(int connected) {
  if (connected) {
    session_.PhoneConnected = true;
    indicators_.IndicatorGreen = true;
    indicators_.OpenEnabled = true;
    indicators_.SaveEnabled = hooks_.menuLoaded && hooks_.menuLoaded();
    indicators_.RestartEnabled = true;
    if (hooks_.changed) hooks_.changed();
    Identify();
  } else {
    session_.PhoneConnected = false;
    indicators_ = PhoneIndicators{};
    session_.PhoneFileList.clear();
    session_.PictureList.clear();
    session_.PhoneVolumes.clear();
    firmwareId_.clear();
    identified_ = false;
    if (hooks_.changed) hooks_.changed();
  }
}

void PhoneLink::Identify() {
  // Cleared before every read, so a short record never shows an earlier one's bytes.
  std::vector<std::uint8_t> model(kSeemBufferSize), version(kSeemBufferSize);
  for (int attempt = 1;; ++attempt) {
    std::fill(model.begin(), model.end(), 0);
    std::fill(version.begin(), version.end(), 0);
    if (api_.Seem_Read(kSeemModel, 1, 0, 0, model.data()) != kFailure &&
        api_.Seem_Read(kSeemVersion, 1, 0, 0, version.data()) != kFailure)
      break;
    if (attempt == kIdentifyAttempts) {
      Report("Error getting phone model");
      return;
    }
    sleeper_.Sleep(kIdentifyPauseMs);
  }
  const std::string firmware = FirmwareVersion(version.data(), version.size());
  indicators_.StatusText =
      "Phone: " + ModelName(model.data(), model.size()) + "  [" + firmware + "] ";
  firmwareId_ = firmware.substr(0, firmware.find('_'));
  identified_ = true;
  if (hooks_.changed) hooks_.changed();
  if (!firmwareId_.empty() && hooks_.applyProfile) hooks_.applyProfile(firmwareId_);
}

}  // namespace trellune::phone

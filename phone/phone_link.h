// The phone link: starts the phone library, follows the phone arriving and leaving, and
// identifies an arriving phone from two seem records (model name, firmware version). What the
// firmware means for the menu (its profile) is up to the caller's callback.
#pragma once

#include <string>
#include <vector>

#include "p2k_api.h"

namespace trellune::phone {

constexpr int kSeemModel = 0x0117;
constexpr int kSeemVersion = 0x02D2;
constexpr int kIdentifyAttempts = 20;  // 500 ms apart: about ten seconds
constexpr int kIdentifyPauseMs = 500;
inline constexpr std::string_view kNoPhoneStatus = "Phone: None ";

// What the phone lists and flags hold while a phone is connected.
struct PhoneSession {
  std::vector<P2kFileEntry> PhoneFileList;  // all files of volume "a", from the last phone open
  std::vector<P2kFileEntry> PictureList;    // the GIF files of every volume but "b"
  std::vector<char> PhoneVolumes;           // empty: not known yet
  bool PhoneConnected = false;
  bool PhoneIdle = true;
  bool SavedToPhone = false;
};

// What the window shows of the phone.
struct PhoneIndicators {
  std::string StatusText = std::string(kNoPhoneStatus);  // second status panel
  bool IndicatorGreen = false;                           // Shape1: lime while connected
  bool OpenEnabled = false;                              // "Open from phone"
  bool SaveEnabled = false;                              // "Save to phone"
  bool RestartEnabled = false;                           // "Restart Phone"
};

struct PhoneLinkHooks {
  std::function<void(const std::string& firmwareId)> applyProfile;  // LoadProfile(firmware id)
  std::function<bool()> menuLoaded;                                 // the tree holds a node
  std::function<void(const PhoneMessage&)> report;                  // an error message box
  std::function<void()> changed;                                    // indicators changed
};

class PhoneLink {
 public:
  PhoneLink(P2kApi& api, Sleeper& sleeper, PhoneLinkHooks hooks);

  // Starts the library once; "Error initializing P2KAPI library" when it cannot.
  bool ConnectPhone();
  // The library's state callback: non-zero when a phone is connected.
  void OnPhoneState(int connected);

  PhoneSession& Session() { return session_; }
  const PhoneIndicators& Indicators() const { return indicators_; }
  const std::string& PhoneFirmwareId() const { return firmwareId_; }
  bool Identified() const { return identified_; }

  // The texts identification builds from the two seem records (10,000-byte buffers).
  static std::string ModelName(const std::uint8_t* seem, std::size_t size);
  static std::string FirmwareVersion(const std::uint8_t* seem, std::size_t size);

 private:
  void Identify();
  void Report(const std::string& text);

  P2kApi& api_;
  Sleeper& sleeper_;
  PhoneLinkHooks hooks_;
  PhoneSession session_;
  PhoneIndicators indicators_;
  std::string firmwareId_;
  bool identified_ = false;
  bool started_ = false;
};

}  // namespace trellune::phone

// A phone on a simulated USB cable: answers the command protocol byte for byte from a phone
// folder (docs/virtual-phone.md) — its seems, files, faults and restarts — so that the USB
// backend runs, whole, without hardware. A folder holding the file "usb-mode" with the word
// "modem" is a phone in modem mode until it is switched.
//
// Besides the folder's faults, tests can make the device misbehave at the protocol level.
#pragma once

#include <deque>
#include <filesystem>
#include <optional>
#include <vector>

#include "phone_directory.h"
#include "usb_transport.h"

namespace trellune::phone::usb {

struct DeviceMisbehaviour {
  int wrongIdReplies = 0;        // replies to other packet ids sent before each right one
  int failureReplies = 0;        // replies whose result nibble says failure
  int shortReplies = 0;          // replies cut after their header
  int oversizedAnnouncements = 0;  // polls that announce a reply of 65,535 bytes
  bool neverAnswer = false;      // polls never announce a reply
  int transfersBeforeVanishing = -1;  // the device leaves the bus after this many transfers
};

class SimulatedPhoneDevice : public UsbTransport {
 public:
  static constexpr std::uint16_t kInterface = 8;

  explicit SimulatedPhoneDevice(std::filesystem::path dir);

  DeviceMisbehaviour misbehave;
  // Every command packet the device took, in order.
  std::vector<std::vector<std::uint8_t>> commands;

  bool Start(std::string& why) override;
  PhoneMode Probe() override;
  std::optional<std::uint16_t> Open(std::string& why) override;
  void Close() override;
  int ControlOut(const ControlRequest& request, const std::uint8_t* data,
                 std::size_t size) override;
  int ControlIn(const ControlRequest& request, std::uint8_t* data, std::size_t size) override;
  bool SendModeSwitch(std::string& why) override;

 private:
  bool Present();
  bool Transfer();  // counts a transfer; false once the device has left
  // The reply payload of a command; its result in `result`.
  std::vector<std::uint8_t> Answer(std::uint16_t code, const std::vector<std::uint8_t>& args,
                                   std::uint8_t& result);
  std::vector<std::uint8_t> AnswerFile(const std::vector<std::uint8_t>& args,
                                       std::uint8_t& result);

  PhoneDirectory dir_;
  bool open_ = false;
  bool gone_ = false;
  int restartProbes_ = 0;  // probes in which a restarting phone is off the bus
  std::deque<std::vector<std::uint8_t>> replies_;  // whole reply reads, waiting
  // The open file.
  std::optional<std::filesystem::path> file_;
  std::vector<std::uint8_t> content_;
  std::size_t position_ = 0;
  bool wrote_ = false;
  std::vector<ListedFile> listing_;
  std::size_t listAt_ = 0;
};

}  // namespace trellune::phone::usb

// The phone-access operations over USB: P2kApi on the command protocol. A phone's arrival
// and departure are found by probing the bus at each Poll(); its command interface is opened
// when it arrives. The interface's whole-file reads and writes travel as 1 KiB protocol
// reads and writes.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "p2k_api.h"
#include "p2k_protocol.h"
#include "usb_transport.h"

namespace trellune::phone::usb {

class UsbPhone : public P2kApi {
 public:
  UsbPhone(std::unique_ptr<UsbTransport> transport, Sleeper& sleeper);
  ~UsbPhone() override;

  int P2K_Init(PhoneStateCallback onState) override;
  int P2K_Restart() override;
  int Seem_Read(int seem, int record, int offset, int length, std::uint8_t* buffer) override;
  int File_VolInfo(std::uint8_t* buffer, int size) override;
  int File_CountEx(const char* pattern) override;
  int File_ListEx(P2kFileEntry* entries, int count, const ListProgressCallback& progress) override;
  int File_Create(const char* path, std::uint32_t attributes) override;
  int File_SetPointer(int offset, int origin) override;
  int File_Read(std::uint8_t* buffer, int size, int attemptsLeft) override;
  int File_Write(const std::uint8_t* buffer, int size) override;
  int File_Close() override;
  void Poll() override;

  // A phone on the cable that is still a modem: it takes commands only once switched.
  bool ModemPhonePresent() const { return lastMode_ == PhoneMode::Modem; }
  // Switches a modem-mode phone to command mode and waits (up to ten seconds) for it to come
  // back; `caption` is told what is going on. False, with LastError(), when it did not.
  bool SwitchToCommandMode(const std::function<void(const std::string&)>& caption);

  // Why the last operation failed.
  const std::string& LastError() const { return lastError_; }
  P2kProtocol& Protocol() { return protocol_; }

 private:
  bool Connected() const { return open_; }
  int Fail(const std::string& why);
  // A file command: the sub-command, then its arguments; nullopt (reported) on failure.
  std::optional<Reply> File(FileOperation operation, const std::vector<std::uint8_t>& args,
                            const char* what);
  void Disconnect();

  std::unique_ptr<UsbTransport> transport_;
  Sleeper& sleeper_;
  P2kProtocol protocol_;
  PhoneStateCallback onState_;
  bool started_ = false;
  bool open_ = false;
  bool reported_ = false;
  PhoneMode lastMode_ = PhoneMode::Absent;
  int restartPolls_ = 0;       // polls left for a restarting phone to leave the bus
  int listed_ = 0;             // files the last File_CountEx matched
  bool fileOpen_ = false;
  std::size_t written_ = 0;    // bytes written since the file was opened
  std::string lastError_;
};

}  // namespace trellune::phone::usb

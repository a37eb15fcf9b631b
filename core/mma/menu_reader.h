// Reading an mma_ucp file into a menu document.
//
// File layout (all numbers big-endian): a 10-byte header (byte 1: 0x03 with the C698p fix,
// else 0x01; byte 2: N, the number of records), N records of 22 or 36 bytes, then the data
// area. The record length is not stored: byte 41 (byte 31 of record 0) is 0xCC only in
// 36-byte files. Records: 0 root, 1 softkey container, 2..8 softkeys, 9 main menu root,
// 10.. main items, each sibling run contiguous. An item's data is DataLength bytes of frames
// (type, u16 length, payload) at DataAreaOffset + DataOffset.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <vector>

#include "messages.h"
#include "mma/menu_document.h"

namespace trellune {

// The silent abort: a kind name of the file is not in the active kind list. Carries no
// message; the open command reports the mismatch and reads again with the built-in list.
class ProfileMismatch : public std::exception {
 public:
  const char* what() const noexcept override { return "profile mismatch"; }
};

// The file is not a well-formed mma_ucp; what() says what is wrong in the user's words.
class MalformedMenuFile : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Reads the bytes of an mma_ucp into doc, replacing its tree and data. Sets the save options,
// RecordLength and DataAreaOffset as the file dictates, and counts the custom items read.
// On either exception doc is left exactly as it was. Returns the warnings to show: a file
// shorter than the records its header counts is read as far as it goes, with
// TruncatedRecordsWarning().
std::vector<UserMessage> ReadMenuBytes(std::span<const std::uint8_t> bytes, MenuDocument& doc);

// ReadMenuBytes on a local file; FileError when it cannot be read. The message of a
// MalformedMenuFile names the file.
std::vector<UserMessage> ReadMenuFile(const std::filesystem::path& path, MenuDocument& doc);

// The Open command's read: on a profile mismatch it reports "Selected profile doesn't match
// mma_ucp", switches to the built-in kind list and reads again. A second failure propagates
// with doc, kind list included, as it was. Returns the warnings to show, in order.
std::vector<UserMessage> ReadMenuWithProfileCheck(const std::filesystem::path& path,
                                                  MenuDocument& doc);

UserMessage ProfileMismatchWarning();
UserMessage TruncatedRecordsWarning();

}  // namespace trellune

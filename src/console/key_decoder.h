// Turns the bytes a terminal sends for keys into key codes: UTF-8 characters,
// and the escape sequences of cursor, editing and function keys. Pure: bytes
// and the time they arrived go in, whole keys come out.
#pragma once

#include <deque>
#include <optional>
#include <string>
#include <string_view>

#include "console/console.h"

namespace vexpick {

class KeyDecoder {
 public:
  // An ESC (or the start of a UTF-8 character) that is not completed within
  // this time stands for itself.
  static constexpr Millis kSequenceTimeout = 50;
  // Code of keys that make no character and have no code of their own: Alt
  // with a key, sequences that name no key we know.
  static constexpr KeyCode kUnknownKey = ExtendedKey(0);

  // Bytes read at `now`.
  void Feed(std::string_view bytes, Millis now);
  // No more bytes will come: whatever is held is decided now.
  void EndOfInput();
  // Whether a whole key can be taken at `now` (held bytes whose time ran
  // out are decided first).
  bool HasKey(Millis now);
  // The next whole key, as HasKey decides it.
  std::optional<KeyCode> Next(Millis now);
  // When held bytes of an unfinished sequence will be decided on their own;
  // nullopt when nothing is held.
  [[nodiscard]] std::optional<Millis> DecisionTime() const;
  // Drops every key and byte held.
  void Clear();

 private:
  void Expire(Millis now);
  void Decode(bool finish);

  std::deque<KeyCode> keys_;
  std::string pending_;  // bytes that do not make a whole key yet
  Millis pendingSince_ = 0;
};

}  // namespace vexpick

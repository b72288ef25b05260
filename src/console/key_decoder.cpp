#include "console/key_decoder.h"

#include <algorithm>
#include <array>
#include <charconv>

#include "console/utf8.h"

namespace vexpick {
namespace {

constexpr char kEsc = '\x1b';
// Longer sequences are no key of any terminal: cut them off as unknown.
constexpr std::size_t kMaxSequence = 32;

constexpr KeyCode FunctionKey(int number) {
  if (number == 11) return kKeyF11;
  if (number == 12) return kKeyF12;
  return kKeyF1 + static_cast<KeyCode>(number - 1);
}

struct NumberedKey {
  int number;
  KeyCode key;
};

// CSI n ~ (also with rxvt's ^ $ @ for modifiers).
constexpr std::array kTildeKeys{
    NumberedKey{1, kKeyHome},         NumberedKey{2, kKeyInsert},       NumberedKey{3, kKeyDelete},
    NumberedKey{4, kKeyEnd},          NumberedKey{5, kKeyPageUp},       NumberedKey{6, kKeyPageDown},
    NumberedKey{7, kKeyHome},         NumberedKey{8, kKeyEnd},          NumberedKey{11, FunctionKey(1)},
    NumberedKey{12, FunctionKey(2)},  NumberedKey{13, FunctionKey(3)},  NumberedKey{14, FunctionKey(4)},
    NumberedKey{15, FunctionKey(5)},  NumberedKey{17, FunctionKey(6)},  NumberedKey{18, FunctionKey(7)},
    NumberedKey{19, FunctionKey(8)},  NumberedKey{20, FunctionKey(9)},  NumberedKey{21, FunctionKey(10)},
    NumberedKey{23, FunctionKey(11)}, NumberedKey{24, FunctionKey(12)},
};

struct LetterKey {
  char final;
  KeyCode key;
};

// CSI x and SS3 x, with or without modifier parameters.
constexpr std::array kLetterKeys{
    LetterKey{'A', kKeyUp},         LetterKey{'B', kKeyDown},       LetterKey{'C', kKeyRight},
    LetterKey{'D', kKeyLeft},       LetterKey{'H', kKeyHome},       LetterKey{'F', kKeyEnd},
    LetterKey{'P', FunctionKey(1)}, LetterKey{'Q', FunctionKey(2)}, LetterKey{'R', FunctionKey(3)},
    LetterKey{'S', FunctionKey(4)},
};

KeyCode LetterKeyOf(char final) {
  const auto* found = std::find_if(kLetterKeys.begin(), kLetterKeys.end(),
                                   [final](const LetterKey& entry) { return entry.final == final; });
  return found != kLetterKeys.end() ? found->key : KeyDecoder::kUnknownKey;
}

KeyCode TildeKeyOf(std::string_view parameters) {
  const std::string_view first = parameters.substr(0, parameters.find(';'));
  int number = 0;
  const auto [end, error] = std::from_chars(first.data(), first.data() + first.size(), number);
  if (error != std::errc{} || end != first.data() + first.size()) return KeyDecoder::kUnknownKey;
  const auto* found = std::find_if(kTildeKeys.begin(), kTildeKeys.end(),
                                   [number](const NumberedKey& entry) { return entry.number == number; });
  return found != kTildeKeys.end() ? found->key : KeyDecoder::kUnknownKey;
}

// A key and the bytes it took; length 0 while the bytes could still become a
// longer key.
struct Parsed {
  KeyCode key;
  std::size_t length;
};
constexpr Parsed kIncomplete{kKeyNone, 0};

bool IsParameterByte(char c) { return c >= 0x30 && c <= 0x3F; }
bool IsIntermediateByte(char c) { return c >= 0x20 && c <= 0x2F && c != '$'; }
bool IsFinalByte(char c) { return (c >= 0x40 && c <= 0x7E) || c == '$'; }

KeyCode ControlSequenceKey(std::string_view parameters, char final) {
  if (!parameters.empty() && parameters.front() >= '<') return KeyDecoder::kUnknownKey;  // private: mouse, replies
  if (final == '~' || final == '^' || final == '$' || final == '@') return TildeKeyOf(parameters);
  return LetterKeyOf(final);
}

// SS3 M is Enter on a keypad in application mode.
KeyCode SingleShiftKey(char final) { return final == 'M' ? kKeyEnter : LetterKeyOf(final); }

// ESC [ or ESC O, then parameters, intermediates and a final
// byte. A byte that cannot belong to the sequence ends it as an unknown key.
Parsed ParseSequence(std::string_view bytes, bool ss3) {
  std::size_t end = 2;
  while (end < bytes.size() && IsParameterByte(bytes[end])) ++end;
  const std::string_view parameters = bytes.substr(2, end - 2);
  while (end < bytes.size() && IsIntermediateByte(bytes[end])) ++end;
  if (end >= kMaxSequence) return {KeyDecoder::kUnknownKey, kMaxSequence};
  if (end == bytes.size()) return kIncomplete;
  const char final = bytes[end];
  if (!IsFinalByte(final)) return {KeyDecoder::kUnknownKey, end};
  if (ss3) return {SingleShiftKey(final), end + 1};
  return {ControlSequenceKey(parameters, final), end + 1};
}

// The Linux console's F1-F5: ESC [ [ A to ESC [ [ E.
Parsed ParseLinuxFunctionKey(std::string_view bytes) {
  if (bytes.size() < 4) return kIncomplete;
  const char letter = bytes[3];
  if (letter >= 'A' && letter <= 'E') return {FunctionKey(letter - 'A' + 1), 4};
  return {KeyDecoder::kUnknownKey, 4};
}

Parsed ParseCharacter(std::string_view bytes) {
  const auto first = static_cast<unsigned char>(bytes.front());
  if (first == '\r' || first == '\n') return {kKeyEnter, 1};
  if (first == 0) return {KeyDecoder::kUnknownKey, 1};  // Ctrl-Space: 0 would read as "no key"
  if (utf8::IsIncompletePrefix(bytes)) return kIncomplete;
  const utf8::Decoded character = utf8::DecodeFirst(bytes);
  return {character.codePoint, character.length};
}

Parsed ParseEscape(std::string_view bytes) {
  if (bytes.size() < 2) return kIncomplete;
  switch (bytes[1]) {
    case kEsc:
      return {kKeyEscape, 1};
    case '[':
      if (bytes.size() > 2 && bytes[2] == '[') return ParseLinuxFunctionKey(bytes);
      return ParseSequence(bytes, false);
    case 'O':
      return ParseSequence(bytes, true);
    default: {  // Alt with a key
      const Parsed character = ParseCharacter(bytes.substr(1));
      if (character.length == 0) return kIncomplete;
      return {KeyDecoder::kUnknownKey, 1 + character.length};
    }
  }
}

Parsed ParseKey(std::string_view bytes) { return bytes.front() == kEsc ? ParseEscape(bytes) : ParseCharacter(bytes); }

// The bytes will not grow: the first one stands for itself.
Parsed Decide(std::string_view bytes) {
  const auto first = static_cast<unsigned char>(bytes.front());
  if (first == kEsc) return {kKeyEscape, 1};
  return {utf8::InvalidByteCode(first), 1};
}

}  // namespace

void KeyDecoder::Feed(std::string_view bytes, Millis now) {
  Expire(now);
  pending_ += bytes;
  Decode(false);
  // The time runs from the first byte held, which may have come earlier.
  if (pending_.size() <= bytes.size()) pendingSince_ = now;
}

void KeyDecoder::EndOfInput() { Decode(true); }

bool KeyDecoder::HasKey(Millis now) {
  Expire(now);
  return !keys_.empty();
}

std::optional<KeyCode> KeyDecoder::Next(Millis now) {
  if (!HasKey(now)) return std::nullopt;
  const KeyCode key = keys_.front();
  keys_.pop_front();
  return key;
}

std::optional<Millis> KeyDecoder::DecisionTime() const {
  if (pending_.empty()) return std::nullopt;
  return pendingSince_ + kSequenceTimeout;
}

void KeyDecoder::Clear() {
  keys_.clear();
  pending_.clear();
}

void KeyDecoder::Expire(Millis now) {
  if (!pending_.empty() && now - pendingSince_ >= kSequenceTimeout) Decode(true);
}

void KeyDecoder::Decode(bool finish) {
  std::size_t start = 0;
  while (start < pending_.size()) {
    const std::string_view rest = std::string_view(pending_).substr(start);
    Parsed parsed = ParseKey(rest);
    if (parsed.length == 0) {
      if (!finish) break;
      parsed = Decide(rest);
    }
    keys_.push_back(parsed.key);
    start += parsed.length;
  }
  pending_.erase(0, start);
}

}  // namespace vexpick

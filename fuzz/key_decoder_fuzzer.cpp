// The key-sequence reader fed with byte chunks and pauses. Whatever arrives:
// every key it gives is a character or a key code of its own (never 0, which
// means "the countdown ran out"), it never gives more keys than bytes, held
// bytes are always decided by a time that lies ahead, and nothing is left
// once the input ends. Chunks that arrive within the sequence timeout give
// the same keys as the same bytes in one read; printable ASCII passes as it is.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "console/console.h"
#include "console/key_decoder.h"
#include "fuzz_check.h"

namespace {

using vexpick::KeyCode;
using vexpick::KeyDecoder;
using vexpick::Millis;

bool IsValidKey(KeyCode key) {
  constexpr KeyCode kLastCodePoint = 0x10FFFF;
  constexpr KeyCode kFirstSurrogate = 0xD800;
  constexpr KeyCode kLastSurrogate = 0xDFFF;
  constexpr KeyCode kFirstInvalidByte = 0xDC80;  // a byte that is no UTF-8 arrives as 0xDC00 + byte
  constexpr KeyCode kLastInvalidByte = 0xDCFF;
  if (vexpick::IsExtendedKey(key)) return key - vexpick::kExtendedKey < 256;
  if (key == vexpick::kKeyNone || key > kLastCodePoint) return false;
  return key < kFirstSurrogate || key > kLastSurrogate || (key >= kFirstInvalidByte && key <= kLastInvalidByte);
}

void TakeKeys(KeyDecoder& decoder, Millis now, std::vector<KeyCode>& keys) {
  while (decoder.HasKey(now)) {
    const auto key = decoder.Next(now);
    FUZZ_CHECK(key.has_value());
    keys.push_back(*key);
  }
  const auto decision = decoder.DecisionTime();
  FUZZ_CHECK(!decision || *decision > now);
}

std::vector<KeyCode> DecodeAtOnce(const std::string& bytes) {
  KeyDecoder decoder;
  std::vector<KeyCode> keys;
  decoder.Feed(bytes, 0);
  decoder.EndOfInput();
  TakeKeys(decoder, 0, keys);
  return keys;
}

bool IsPrintableAscii(const std::string& bytes) {
  return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c >= 0x20 && c <= 0x7E; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr int kMostChunks = 40;  // with pauses of at most 1 ms: all within the timeout
  constexpr Millis kLongestPause = 2 * KeyDecoder::kSequenceTimeout + 20;
  constexpr std::size_t kLongestChunk = 16;
  FuzzedDataProvider input(data, size);
  const bool quick = input.ConsumeBool();
  KeyDecoder decoder;
  std::vector<KeyCode> keys;
  std::string bytes;
  Millis now = 0;
  for (int chunk = 0; chunk < kMostChunks && input.remaining_bytes() > 0; ++chunk) {
    now += input.ConsumeIntegralInRange<Millis>(0, quick ? 1 : kLongestPause);
    const std::string arrived = input.ConsumeRandomLengthString(kLongestChunk);
    decoder.Feed(arrived, now);
    bytes += arrived;
    TakeKeys(decoder, now, keys);
    // Waking at the decision time always decides something: a wait for a key never spins.
    if (const auto decision = decoder.DecisionTime(); decision && !quick && input.ConsumeBool()) {
      now = *decision;
      TakeKeys(decoder, now, keys);
    }
  }
  decoder.EndOfInput();
  TakeKeys(decoder, now, keys);
  FUZZ_CHECK(!decoder.DecisionTime() && !decoder.HasKey(now));
  FUZZ_CHECK(keys.size() <= bytes.size());
  FUZZ_CHECK(std::all_of(keys.begin(), keys.end(), IsValidKey));
  if (quick) FUZZ_CHECK(keys == DecodeAtOnce(bytes));
  if (IsPrintableAscii(bytes)) FUZZ_CHECK(keys == std::vector<KeyCode>(bytes.begin(), bytes.end()));
  return 0;
}

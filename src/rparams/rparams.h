// The parameter list: the command line split into options and plain
// parameters, and which standard handles are redirected.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "console/console.h"

namespace vexpick {

// Splits a command line (without the program's name) into arguments.
// Blanks and control bytes separate; double quotes switch quoting and are
// dropped; a backslash is an ordinary character.
std::vector<std::string> SplitCommandLine(std::string_view commandLine);

// How the redirection scan asks about standard handle 0, 1 or 2.
using StdHandleQuery = StdHandleState (*)(int which);

// Arguments that begin with "--", "-" or "/" are options, stored as
// "name=value" lines; everything else is a plain parameter. Lookups ignore
// letter case and the first match wins.
class TRParamList {
 public:
  TRParamList(std::vector<std::string> arguments, bool DoScanRedirections,
              StdHandleQuery queryStdHandle = QueryStdHandle);

  void ScanParams();
  void ScanRedirections();

  [[nodiscard]] std::int32_t GetOptionsCount() const;
  [[nodiscard]] std::string GetOptionName(std::int32_t I) const;
  [[nodiscard]] std::string GetOptionValueByIndex(std::int32_t I) const;
  [[nodiscard]] std::string GetOptionValue(std::string_view S) const;
  [[nodiscard]] std::int32_t GetOptionIndex(std::string_view S) const;
  [[nodiscard]] std::int32_t GetParamsCount() const;
  [[nodiscard]] std::string GetParam(std::int32_t I) const;
  [[nodiscard]] std::int32_t GetParamIndex(std::string_view S) const;

  [[nodiscard]] bool StdInRedirected() const { return FStdInRedirected; }
  [[nodiscard]] bool StdOutRedirected() const { return FStdOutRedirected; }
  [[nodiscard]] bool StdErrRedirected() const { return FStdErrRedirected; }
  [[nodiscard]] SystemHandle StdInHandle() const { return FStdInHandle; }
  [[nodiscard]] SystemHandle StdOutHandle() const { return FStdOutHandle; }
  [[nodiscard]] SystemHandle StdErrHandle() const { return FStdErrHandle; }

 private:
  [[nodiscard]] std::int32_t FindNamedOption(std::string_view S) const;
  [[nodiscard]] std::int32_t FindWholeOption(std::string_view S) const;

  std::vector<std::string> FArguments;
  StdHandleQuery FQueryStdHandle;
  std::vector<std::string> FOptionList;  // "name=value", in command-line order
  std::vector<std::string> FParamList;
  bool FStdInRedirected = false;
  bool FStdOutRedirected = false;
  bool FStdErrRedirected = false;
  SystemHandle FStdInHandle = kInvalidHandle;
  SystemHandle FStdOutHandle = kInvalidHandle;
  SystemHandle FStdErrHandle = kInvalidHandle;
};

}  // namespace vexpick

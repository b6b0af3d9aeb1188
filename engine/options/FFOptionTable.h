// The option table: every option name the parser knows, the kind of value it
// takes and where the value goes (a field of the per-file record, a field of
// the task, or a handler).
#pragma once

#include "FFOptionsContext.h"

#include <cstdint>
#include <span>
#include <variant>

class TTaskOptions;

// The bits of TOptionDef::Flags. Those marked "no effect" only describe.
enum TOptionFlag : uint32_t {
  ofHasArg = 0x1,     // takes the next argument as its value
  ofBool = 0x2,       // stored as 1, or 0 for the "no" form
  ofExpert = 0x4,     // no effect
  ofString = 0x8,     // stored as a copied text
  ofVideo = 0x10,     // no effect
  ofAudio = 0x20,     // no effect
  ofInt = 0x80,       // 32-bit integer
  ofFloat = 0x100,    // single precision
  ofSubtitle = 0x200, // no effect
  ofInt64 = 0x400,    // 64-bit integer
  ofMarker = 0x800,   // a handler that only reports or does nothing; no effect
  ofData = 0x1000,    // no effect
  ofPerFile = 0x2000, // collected into the file group
  ofOffset = 0x4000,  // the target is a field of TOptionsContext
  ofSpec = 0x8000,    // the target is a per-stream list of TOptionsContext
  ofTime = 0x10000,   // a time or duration, stored as microseconds
  ofDouble = 0x20000, // double precision
};

// A handler row's function. AOptions is null for the global group; AValue is
// the argument text. A negative result fails the option.
using TOptionHandler = int (*)(TTaskOptions& ATask, TOptionsContext* AOptions,
                               const char* AName, const char* AValue);

// Where a row's value goes; the row builder checks at compile time that it
// agrees with the row's flags.
using TOptionTarget = std::variant<
    TOptionHandler, std::optional<std::string> TOptionsContext::*, int TOptionsContext::*,
    int64_t TOptionsContext::*, float TOptionsContext::*,
    TSpecifierOptList<std::string> TOptionsContext::*, TSpecifierOptList<int> TOptionsContext::*,
    TSpecifierOptList<int64_t> TOptionsContext::*, TSpecifierOptList<double> TOptionsContext::*,
    int TTaskOptions::*, float TTaskOptions::*>;

struct TOptionDef {
  const char* Name;
  uint32_t Flags;
  TOptionTarget Target;
  const char* Help;
  const char* ArgName; // null where the row has none

  bool HasArg() const { return Flags & ofHasArg; }
  bool IsBool() const { return Flags & ofBool; }
  // Rows with none of these form the global group, applied to the task.
  bool InFileGroup() const { return Flags & (ofPerFile | ofOffset | ofSpec); }
};

using TOptionTable = std::span<const TOptionDef>;

// The engine's table, 149 rows; the same for every task.
TOptionTable EngineOptionTable();

// The first row named like AName up to its first ":" (exact, case-sensitive),
// or null.
const TOptionDef* FindOption(TOptionTable ATable, const char* AName);

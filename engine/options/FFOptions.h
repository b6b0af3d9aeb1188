// The option parser: splits an option string, sorts its options into the
// global group (task-wide), the file group (per file) and the libraries'
// option dictionaries, and applies the groups through the option table.
#pragma once

#include "FFDictionary.h"
#include "LibAVOwners.h"
#include "FFOptionTable.h"

#include <memory>
#include <string>
#include <vector>

// A scaler context that only carries the scaler options set on it.
using TScalerOptions = TSwsContextPtr;

// One collected option of the table.
struct TParsedOption {
  const TOptionDef* Row = nullptr;
  std::string Key;   // as written, with its specifier, without the "-"
  std::string Value; // "1" for a Boolean, "0" for its "no" form
};

// The options of one group in the order written, and (for the file group)
// the library options collected with them.
struct TOptionGroup {
  std::vector<TParsedOption> Options;
  TDictionary CodecOpts;
  TDictionary FormatOpts;
  TScalerOptions ScalerOpts;
  TDictionary ResamplerOpts;
};

// The option state of one task (or one decoder component).
class TFFOptions {
public:
  int ScalerFlags = SWS_BICUBIC; // of the scaler option object
  TDictionary CurrentResampler;
  TDictionary CurrentFormat;
  TDictionary CurrentCodec;
  TOptionGroup GlobalGroup;
  TOptionGroup FileGroup;
  // The detail of the last option error. Cleared at the start of each parse
  // and before each handler call.
  std::string LastOptionError;

  // Sorts ACount arguments into the groups and the current dictionaries,
  // which then move into the file group. 0, or a negative code. Without
  // AStrict an option nobody knows and an argument that is no option are
  // logged and skipped; a missing value or one a library refuses fails in
  // both modes.
  int CollectOptions(int ACount, bool AStrict, TOptionTable ATable, char* const* AArgs);
  // Offers an option the table does not know to the codec, format (with the
  // registered input devices), scaler and resampler options, in that order.
  // 0 when one took it, AVERROR_OPTION_NOT_FOUND when none did, or the
  // scaler's or resampler's code for a value it rejects.
  int SetDefaultOption(const char* AName, const char* AValue);
  // Moves the current dictionaries and scaler options into the file group.
  void FinishFileGroup();
  // Empties both groups and the current dictionaries.
  void ResetGroups();
  void FreeGroups() { ResetGroups(); }
  // The current scaler options, made on first need.
  SwsContext* CurrentScaler();

private:
  TScalerOptions NewScaler() const;
  TScalerOptions FCurrentScaler;
};

// Applies one option by name (a "no" prefix turns a Boolean off): 1 when
// the option took AValue, 0 when it takes none, negative on error. Used by
// handlers and presets.
int ParseOption(TTaskOptions& ATask, TOptionsContext* AOptions, const char* AName,
                const char* AValue);
// Stores AValue as ARow says, or runs its handler; 0 or a negative code with
// the last option error set. A value that does not convert, or a handler that raises, answers
// AVERROR(EINVAL) (AVERROR(ENOMEM) when memory ran out); nothing raises out.
int WriteOption(TTaskOptions& ATask, TOptionsContext* AOptions, const TOptionDef& ARow,
                const char* AName, const char* AValue);
// Writes each option of AGroup in order (AOptions null for the global group);
// the first failure stops it, in both modes.
int ApplyOptionGroup(TTaskOptions& ATask, TOptionsContext* AOptions, const TOptionGroup& AGroup,
                     const std::string& AGroupName);
// The index of the option AName among AArgs (stepping over the values of
// the table's options), or -1.
int LocateOption(int ACount, char* const* AArgs, TOptionTable ATable, const char* AName);
// Sets the logger's level from "-loglevel" or "-v" before anything else.
void ParseLogLevel(TTaskOptions& ATask, int ACount, char* const* AArgs, TOptionTable ATable);

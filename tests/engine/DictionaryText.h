// The entries of the libraries' dictionaries as texts a test can compare.
#pragma once

#include "FFDictionary.h"
#include "LibAV.h"

#include <map>
#include <string>
#include <vector>

using TStrings = std::vector<std::string>;
using TEntries = std::map<std::string, std::string>;

// The entries in order, as "key=value".
inline TStrings Entries(const TDictionary& ADict) {
  TStrings entries;
  const AVDictionaryEntry* entry = nullptr;
  while ((entry = AV.av_dict_get(ADict.Get(), "", entry, AV_DICT_IGNORE_SUFFIX)))
    entries.push_back(std::string(entry->key) + "=" + entry->value);
  return entries;
}

// The entries by key.
inline TEntries EntriesOf(const AVDictionary* ADict) {
  TEntries result;
  const AVDictionaryEntry* entry = nullptr;
  while (ADict && (entry = AV.av_dict_get(ADict, "", entry, AV_DICT_IGNORE_SUFFIX)))
    result[entry->key] = entry->value;
  return result;
}

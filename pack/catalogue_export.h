// The key and message catalogue, the value limits, the default
// translations and the manifest template as one data file, so that writers
// in other languages (the Maven plugin) take every number, limit and text
// from the same tables as vtlpack instead of from copies of them.
//
// UTF-8 text, one record a line, fields separated by tabs:
//   key         number  name  type  maxLength  read|ignored
//   limit       name    value
//   message     id      name  shown|kept  englishText
//   translation locale  id    text
//   template    manifest  text (the application manifest, pack/manifest.h)
// Lines starting with '#' are comments. In every field a backslash escapes
// itself (\\), a tab (\t), a line feed (\n) and a carriage return (\r).
#pragma once

#include <string>

std::string exportCatalogue();

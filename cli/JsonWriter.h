#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Streams one JSON document to a stdio stream as it is produced, so that
// millions of samples never sit in a document tree. Commas are placed by the
// writer; the caller nests Begin/End calls correctly. Strings are escaped
// as JSON requires and no further: the quote, the backslash and the control
// characters (the usual two-character escapes, else \u00xx in lower-case
// hex), every other byte as it is, so UTF-8 stays UTF-8. Numbers are
// formatted here because 32-bit floats must come out in their own shortest
// round-trip text, not a double's.
class CJsonWriter {
 public:
  explicit CJsonWriter(std::FILE* out) : m_out(out) {}

  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  // Names the next value of the current object.
  void Key(std::string_view key);

  // Stored 8-bit text: each byte becomes the code point of the same value.
  void Latin1(std::string_view bytes);
  void Int(std::int64_t value);
  void Bool(bool value);
  // The literal null (a value that does not exist, such as an event's sample
  // outside the recording).
  void Null();
  // Shortest text that reads back to the same float; NaN and infinities as
  // the strings "NaN", "Infinity" and "-Infinity".
  void Float(float value);

  // Ends the document with a newline.
  void Finish();

 private:
  void BeforeValue();
  // `utf8` (valid UTF-8) as a quoted, escaped JSON string.
  void String(std::string_view utf8);
  void Raw(std::string_view text) { std::fwrite(text.data(), 1, text.size(), m_out); }

  std::FILE* m_out;
  std::vector<bool> m_first;  // per open container: no element written yet
  bool m_afterKey = false;
};

// The shortest decimal text that reads back to `value` (finite values only).
std::string ShortestFloatText(float value);

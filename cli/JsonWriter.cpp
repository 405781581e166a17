#include "cli/JsonWriter.h"

#include <charconv>
#include <cmath>

#include "core/c3d/ChannelNames.h"
#include "core/c3d/NumberText.h"

std::string ShortestFloatText(float value) { return numtext::ShortestText(value); }

void CJsonWriter::String(std::string_view utf8) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string text;
  text.reserve(utf8.size() + 2);
  text += '"';
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    switch (byte) {
      case '"':
        text += "\\\"";
        break;
      case '\\':
        text += "\\\\";
        break;
      case '\b':
        text += "\\b";
        break;
      case '\f':
        text += "\\f";
        break;
      case '\n':
        text += "\\n";
        break;
      case '\r':
        text += "\\r";
        break;
      case '\t':
        text += "\\t";
        break;
      default:
        if (byte < 0x20) {
          text += "\\u00";
          text += kHex[byte >> 4];
          text += kHex[byte & 15];
        } else {
          text += c;  // UTF-8 bytes and DEL as they are
        }
    }
  }
  text += '"';
  Raw(text);
}

void CJsonWriter::BeforeValue() {
  if (m_afterKey) {
    m_afterKey = false;
    return;
  }
  if (!m_first.empty()) {
    if (!m_first.back()) Raw(",");
    m_first.back() = false;
  }
}

void CJsonWriter::BeginObject() {
  BeforeValue();
  Raw("{");
  m_first.push_back(true);
}

void CJsonWriter::EndObject() {
  Raw("}");
  m_first.pop_back();
}

void CJsonWriter::BeginArray() {
  BeforeValue();
  Raw("[");
  m_first.push_back(true);
}

void CJsonWriter::EndArray() {
  Raw("]");
  m_first.pop_back();
}

void CJsonWriter::Key(std::string_view key) {
  BeforeValue();
  String(key);
  Raw(":");
  m_afterKey = true;
}

void CJsonWriter::Latin1(std::string_view bytes) {
  BeforeValue();
  String(Utf8FromLatin1(bytes));
}

void CJsonWriter::Int(std::int64_t value) {
  BeforeValue();
  char buffer[24];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  Raw(std::string_view(buffer, static_cast<std::size_t>(result.ptr - buffer)));
}

void CJsonWriter::Bool(bool value) {
  BeforeValue();
  Raw(value ? "true" : "false");
}

void CJsonWriter::Null() {
  BeforeValue();
  Raw("null");
}

void CJsonWriter::Float(float value) {
  BeforeValue();
  if (std::isnan(value)) {
    Raw("\"NaN\"");
  } else if (std::isinf(value)) {
    Raw(value > 0 ? "\"Infinity\"" : "\"-Infinity\"");
  } else {
    Raw(ShortestFloatText(value));
  }
}

void CJsonWriter::Finish() { Raw("\n"); }

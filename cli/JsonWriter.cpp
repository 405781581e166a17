#include "cli/JsonWriter.h"

#include <charconv>
#include <cmath>
#include <nlohmann/json.hpp>

#include "core/c3d/ChannelNames.h"
#include "core/c3d/NumberText.h"

std::string ShortestFloatText(float value) { return numtext::ShortestText(value); }

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
  Raw(nlohmann::json(std::string(key)).dump());
  Raw(":");
  m_afterKey = true;
}

void CJsonWriter::Latin1(std::string_view bytes) {
  BeforeValue();
  Raw(nlohmann::json(Utf8FromLatin1(bytes)).dump());
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

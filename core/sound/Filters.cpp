#include "core/sound/Filters.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <numbers>
#include <sstream>

#include "core/c3d/NumberText.h"

namespace sound {

namespace {

constexpr std::string_view kFilterForms =
    "use highpass:HZ, lowpass:HZ, bandpass:LO-HI, notch:HZ or none";

// A decimal number of hertz above 0, the whole text.
bool ParseHertz(std::string_view text, double& hz) {
  if (text.empty()) return false;
  const char* end = text.data() + text.size();
  const auto [ptr, ec] = numtext::ReadDouble(text.data(), end, hz);
  return ec == std::errc() && ptr == end && std::isfinite(hz) && hz > 0.0;
}

std::string Number(double hz) {
  std::ostringstream out;
  out << hz;
  return out.str();
}

std::string Quoted(std::string_view spec) { return "filter \"" + std::string(spec) + "\""; }

// One SPEC of the list; error set when it is not understood.
FilterSpec ParseOne(std::string_view item, std::string& error) {
  FilterSpec spec;
  const auto colon = item.find(':');
  const std::string_view name = item.substr(0, colon);
  const std::string_view value =
      colon == std::string_view::npos ? std::string_view() : item.substr(colon + 1);
  if (name == "highpass" || name == "lowpass" || name == "notch") {
    spec.kind = name == "highpass"  ? FilterKind::HighPass
                : name == "lowpass" ? FilterKind::LowPass
                                    : FilterKind::Notch;
    if (!ParseHertz(value, spec.frequency)) {
      error = Quoted(item) + ": HZ must be a number of hertz above 0";
    }
    return spec;
  }
  if (name == "bandpass") {
    spec.kind = FilterKind::BandPass;
    const auto dash = value.find('-');
    if (dash == std::string_view::npos || !ParseHertz(value.substr(0, dash), spec.frequency) ||
        !ParseHertz(value.substr(dash + 1), spec.upper)) {
      error = Quoted(item) + ": LO and HI must be numbers of hertz above 0, as in bandpass:20-450";
    } else if (spec.frequency >= spec.upper) {
      error = Quoted(item) + ": LO must be below HI";
    }
    return spec;
  }
  error = "unknown " + Quoted(item) + ": " + std::string(kFilterForms);
  return spec;
}

}  // namespace

FilterParse ParseFilters(std::string_view text) {
  FilterParse result;
  if (text == "none") return result;
  if (text.empty()) {
    result.error = "no filter given: " + std::string(kFilterForms);
    return result;
  }
  std::size_t start = 0;
  while (true) {
    const auto comma = text.find(',', start);
    const std::string_view item = text.substr(start, comma - start);
    if (item == "none") {
      result.error = "\"none\" stands alone, not in a list of filters";
    } else if (item.empty()) {
      result.error =
          "an empty filter in \"" + std::string(text) + "\": " + std::string(kFilterForms);
    } else {
      result.specs.push_back(ParseOne(item, result.error));
    }
    if (!result.error.empty()) {
      result.specs.clear();
      return result;
    }
    if (comma == std::string_view::npos) return result;
    start = comma + 1;
  }
}

std::string FilterText(const FilterSpec& spec) {
  switch (spec.kind) {
    case FilterKind::HighPass:
      return "highpass:" + Number(spec.frequency);
    case FilterKind::LowPass:
      return "lowpass:" + Number(spec.frequency);
    case FilterKind::Notch:
      return "notch:" + Number(spec.frequency);
    case FilterKind::BandPass:
      break;
  }
  return "bandpass:" + Number(spec.frequency) + "-" + Number(spec.upper);
}

std::string CheckFilterRates(const std::vector<FilterSpec>& specs, double analogRate) {
  const double limit = analogRate / 2.0;
  for (const FilterSpec& spec : specs) {
    const double top = spec.kind == FilterKind::BandPass ? spec.upper : spec.frequency;
    if (!(top < limit)) {
      return Quoted(FilterText(spec)) + ": " + Number(top) +
             " Hz is at or above half the analog rate (" + Number(limit) + " Hz)";
    }
  }
  return {};
}

// The sections are the bilinear transforms of the analogue prototypes with
// the frequency pre-warped at the cut-off, so the digital response at the
// cut-off is exactly that of the prototype.
CBiquad CBiquad::LowPass(double cutoff, double q, double rate) {
  const double w = 2.0 * std::numbers::pi * cutoff / rate;
  const double c = std::cos(w);
  const double alpha = std::sin(w) / (2.0 * q);
  const double a0 = 1.0 + alpha;
  CBiquad s;
  s.m_b0 = (1.0 - c) / 2.0 / a0;
  s.m_b1 = (1.0 - c) / a0;
  s.m_b2 = s.m_b0;
  s.m_a1 = -2.0 * c / a0;
  s.m_a2 = (1.0 - alpha) / a0;
  return s;
}

CBiquad CBiquad::HighPass(double cutoff, double q, double rate) {
  const double w = 2.0 * std::numbers::pi * cutoff / rate;
  const double c = std::cos(w);
  const double alpha = std::sin(w) / (2.0 * q);
  const double a0 = 1.0 + alpha;
  CBiquad s;
  s.m_b0 = (1.0 + c) / 2.0 / a0;
  s.m_b1 = -(1.0 + c) / a0;
  s.m_b2 = s.m_b0;
  s.m_a1 = -2.0 * c / a0;
  s.m_a2 = (1.0 - alpha) / a0;
  return s;
}

CBiquad CBiquad::Notch(double centre, double q, double rate) {
  const double w = 2.0 * std::numbers::pi * centre / rate;
  const double c = std::cos(w);
  const double alpha = std::sin(w) / (2.0 * q);
  const double a0 = 1.0 + alpha;
  CBiquad s;
  s.m_b0 = 1.0 / a0;
  s.m_b1 = -2.0 * c / a0;
  s.m_b2 = s.m_b0;
  s.m_a1 = s.m_b1;
  s.m_a2 = (1.0 - alpha) / a0;
  return s;
}

double CBiquad::Prime(double x) {
  const double y = x * (m_b0 + m_b1 + m_b2) / (1.0 + m_a1 + m_a2);
  m_s2 = m_b2 * x - m_a2 * y;
  m_s1 = m_b1 * x - m_a1 * y + m_s2;
  return y;
}

CFilterChain::CFilterChain(const std::vector<FilterSpec>& specs, double rate) {
  for (const FilterSpec& spec : specs) {
    switch (spec.kind) {
      case FilterKind::HighPass:
        AddButterworth(false, 2, spec.frequency, rate);
        break;
      case FilterKind::LowPass:
        AddButterworth(true, 2, spec.frequency, rate);
        break;
      case FilterKind::BandPass:
        AddButterworth(false, 2, spec.frequency, rate);
        AddButterworth(true, 2, spec.upper, rate);
        break;
      case FilterKind::Notch:
        m_sections.push_back(
            CBiquad::Notch(spec.frequency, spec.frequency / kNotchBandwidthHz, rate));
        break;
    }
  }
}

CFilterChain CFilterChain::ButterworthLowPass(int sections, double cutoff, double rate) {
  CFilterChain chain;
  chain.AddButterworth(true, sections, cutoff, rate);
  return chain;
}

// A Butterworth filter of order 2 x sections: sections whose Q values are
// 1 / (2 cos((2k - 1) pi / (4 x sections))), k = 1..sections.
void CFilterChain::AddButterworth(bool lowPass, int sections, double cutoff, double rate) {
  for (int k = 1; k <= sections; ++k) {
    const double q = 1.0 / (2.0 * std::cos((2 * k - 1) * std::numbers::pi / (4.0 * sections)));
    m_sections.push_back(lowPass ? CBiquad::LowPass(cutoff, q, rate)
                                 : CBiquad::HighPass(cutoff, q, rate));
  }
}

double CFilterChain::Process(double x) {
  if (!std::isfinite(x)) {
    m_primed = false;
    return std::numeric_limits<double>::quiet_NaN();
  }
  if (!m_primed) {
    m_primed = true;
    double y = x;
    for (CBiquad& s : m_sections) y = s.Prime(y);
    return y;
  }
  for (CBiquad& s : m_sections) x = s.Process(x);
  return x;
}

void CFilterChain::Process(std::span<double> values) {
  if (m_sections.empty()) return;
  for (double& v : values) v = Process(v);
}

}  // namespace sound

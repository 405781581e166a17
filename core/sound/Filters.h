#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// Causal IIR filters for a channel's values at its own analog rate, before
// any resampling: 4th-order Butterworth high-, low- and band-pass, a narrow
// notch for mains hum, chains of them, and the parser of their text form
// ("highpass:20,notch:50"). Everything runs one value after the other with
// double-precision state, so a channel is filtered a stretch at a time.
// Standard C++ only.
namespace sound {

enum class FilterKind { HighPass, LowPass, BandPass, Notch };

// One filter of a chain. frequency: the cut-off (HighPass, LowPass), the
// centre (Notch) or the lower edge (BandPass), in Hz; upper: the upper edge
// of a BandPass, unused otherwise.
struct FilterSpec {
  FilterKind kind = FilterKind::HighPass;
  double frequency = 0.0;
  double upper = 0.0;

  bool operator==(const FilterSpec&) const = default;
};

// The -3 dB width of a notch, in Hz: 10 Hz from its centre it loses about
// 0.6 dB; at its centre a steady tone is removed.
inline constexpr double kNotchBandwidthHz = 8.0;

// The result of ParseFilters: the specs in the order given, or an error text
// (then specs is empty). "none" gives an empty chain.
struct FilterParse {
  std::vector<FilterSpec> specs;
  std::string error;  // empty when the text was understood
};

// Reads SPEC[,SPEC...] with SPEC one of highpass:HZ, lowpass:HZ,
// bandpass:LO-HI, notch:HZ, or the single word "none". Frequencies are
// decimal numbers above 0; a band-pass needs LO below HI. Names are
// lower-case; no blanks. Error texts name the offending spec.
FilterParse ParseFilters(std::string_view text);

// The text form of one spec ("bandpass:20-450"), read back by ParseFilters.
std::string FilterText(const FilterSpec& spec);

// Checks every cut-off and centre against half the analog rate (Hz). Result:
// empty when all lie below it, else the message for the first that does not,
// naming the limit: `filter "lowpass:600": 600 Hz is at or above half the
// analog rate (500 Hz)`.
std::string CheckFilterRates(const std::vector<FilterSpec>& specs, double analogRate);

// One second-order section in transposed direct form II, double state.
// Coefficients are normalised (a0 = 1). A value type: copies filter apart.
class CBiquad {
 public:
  static CBiquad LowPass(double cutoff, double q, double rate);
  static CBiquad HighPass(double cutoff, double q, double rate);
  static CBiquad Notch(double centre, double q, double rate);

  double Process(double x) {
    const double y = m_b0 * x + m_s1;
    m_s1 = m_b1 * x - m_a1 * y + m_s2;
    m_s2 = m_b2 * x - m_a2 * y;
    return y;
  }
  // Sets the state to that of a constant input x held forever, and returns
  // the section's output for it (x times its gain at 0 Hz).
  double Prime(double x);

 private:
  double m_b0 = 1.0, m_b1 = 0.0, m_b2 = 0.0, m_a1 = 0.0, m_a2 = 0.0;
  double m_s1 = 0.0, m_s2 = 0.0;
};

// A chain of filters at one sample rate, applied in order: each spec becomes
// two (high/low-pass, notch: one) or four (band-pass) sections. Owns its
// sections; a value type.
// Start and gaps: the state starts as if the first finite value had been
// held forever, so a channel that sits far from 0 does not begin with a
// step. A non-finite value (NaN, infinity) comes out as NaN and empties the
// state; the next finite value starts the filter afresh the same way, so one
// bad sample never poisons the rest of the channel.
class CFilterChain {
 public:
  CFilterChain() = default;
  // specs must have passed CheckFilterRates for rate (Hz); frequencies at or
  // above rate / 2 give undefined coefficients.
  CFilterChain(const std::vector<FilterSpec>& specs, double rate);
  // A Butterworth low-pass of order 2 x sections at cutoff (below rate / 2).
  static CFilterChain ButterworthLowPass(int sections, double cutoff, double rate);

  bool Empty() const { return m_sections.empty(); }
  double Process(double x);
  // Filters values in place, in order; the state carries to the next call.
  // An empty chain leaves the values as they are.
  void Process(std::span<double> values);
  // Forgets the state: the next finite value primes the chain.
  void Reset() { m_primed = false; }

 private:
  void AddButterworth(bool lowPass, int sections, double cutoff, double rate);

  std::vector<CBiquad> m_sections;
  bool m_primed = false;
};

}  // namespace sound

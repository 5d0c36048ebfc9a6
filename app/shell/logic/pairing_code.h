#pragma once

#include <string>
#include <vector>

namespace velmora::PairingCode {

inline constexpr int validSeconds = 90;
inline constexpr double readyAfter = 1.5;  // seconds before Confirm may be used

// The code's number characters in order, one UTF-8 string each: every character that is a decimal digit of
// any script, another digit, a fraction or a numeral. Spaces, dashes, letters and broken UTF-8 are dropped.
std::vector<std::string> digits(const std::string& code);

// Whether the code shows as six boxes (two groups of three) rather than as the text received.
bool showsBoxes(const std::vector<std::string>& digits);

// The digits joined with single spaces, for assistive tools.
std::string spoken(const std::vector<std::string>& digits);

// Seconds of validity left after one more tick of the countdown; never below 0.
int tick(int left);

// How long Confirm must still wait, `elapsed` seconds (monotonic) after the dialog opened; 0 when ready.
double readinessWait(double elapsed);

}  // namespace velmora::PairingCode

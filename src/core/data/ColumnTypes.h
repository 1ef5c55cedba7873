#pragma once

// Column type codes of a data line. One code per column position comes from the device
// file; the same code indexes every per-type table (calibration slots, raw values,
// engineering values, statistics).

namespace kivo {

// Every per-type and per-column table has this many slots.
inline constexpr int kSlots = 75;

namespace column {

inline constexpr int kDeclaredCount = 0;  // "Columns=": not a column type of its own
inline constexpr int kDate = 1;
inline constexpr int kTime = 2;
// Codes 4-6 and 43-50 only name keys of the device file; no column carries them.
inline constexpr int kSalinityKey = 4;
inline constexpr int kThetaKey = 5;
inline constexpr int kXFactorKey = 6;
inline constexpr int kFirstScattering = 7;  // "Lambda=" for column n gets 5 + n
inline constexpr int kLastScattering = 15;
inline constexpr int kFirstScatteringRef = 16;  // "Lambdaref=" for column n gets 14 + n
inline constexpr int kLastScatteringRef = 24;
inline constexpr int kChl = 25;
inline constexpr int kCdom = 26;
inline constexpr int kUranine = 27;
inline constexpr int kPhycocyanin = 28;
inline constexpr int kPhycoerythrin = 29;
inline constexpr int kRhodamine = 30;
inline constexpr int kChlRef = 31;
inline constexpr int kCdomRef = 32;
inline constexpr int kUranineRef = 33;
inline constexpr int kPhycocyaninRef = 34;
inline constexpr int kPhycoerythrinRef = 35;
inline constexpr int kRhodamineRef = 36;
inline constexpr int kLss = 37;
inline constexpr int kLssRef = 38;
inline constexpr int kITemp = 39;
inline constexpr int kXTemp = 40;
inline constexpr int kPres = 41;
inline constexpr int kIgnored = 42;  // "REF=" and "N/U="
inline constexpr int kLambdaKey = 43;
inline constexpr int kLambdaRefKey = 44;
inline constexpr int kAsv1Key = 45;
inline constexpr int kAsv2Key = 46;
inline constexpr int kAsv4Key = 47;
inline constexpr int kMaxVoltageKey = 48;
inline constexpr int kEngrScaleOffsetKey = 49;
inline constexpr int kEngrUnitsKey = 50;
inline constexpr int kIEngr = 51;  // a value the meter converted itself
inline constexpr int kNtu = 52;
inline constexpr int kNtuRef = 53;
inline constexpr int kVsf100 = 54;
inline constexpr int kVsf125 = 55;
inline constexpr int kVsf150 = 56;

}  // namespace column

constexpr bool IsScattering(int t) {
    return t >= column::kFirstScattering && t <= column::kLastScattering;
}
constexpr bool IsScatteringReference(int t) {
    return t >= column::kFirstScatteringRef && t <= column::kLastScatteringRef;
}
constexpr bool IsFluorometer(int t) { return t >= column::kChl && t <= column::kRhodamine; }
constexpr bool IsFluorometerReference(int t) {
    return t >= column::kChlRef && t <= column::kRhodamineRef;
}
constexpr bool IsVolumeScattering(int t) { return t >= column::kVsf100 && t <= column::kVsf150; }
// Every reference column: its first reading after a load is kept.
constexpr bool IsReference(int t) {
    return IsScatteringReference(t) || IsFluorometerReference(t) || t == column::kLssRef ||
           t == column::kNtuRef;
}
constexpr bool IsTemperature(int t) { return t == column::kITemp || t == column::kXTemp; }

// Scattering channels 8-15 are normalised by the reference of code t + 8; code 7 (column 2)
// has no reference column in front of it.
constexpr bool HasScatteringReference(int t) {
    return t > column::kFirstScattering && t <= column::kLastScattering;
}
constexpr int ScatteringReferenceOf(int t) { return t + 8; }

// Types whose raw reading is a measurement of its own (stored, not captured as reference).
constexpr bool IsMeasurement(int t) {
    return IsScattering(t) || IsFluorometer(t) || t == column::kLss || t == column::kIEngr ||
           t == column::kNtu || IsVolumeScattering(t) || t == column::kITemp ||
           t == column::kXTemp || t == column::kPres;
}

constexpr bool IsSlot(int t) { return t >= 0 && t < kSlots; }

}  // namespace kivo

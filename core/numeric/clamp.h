// Clamping of colour components, shared by the front end and the software renderer.
#ifndef MORVEN_CORE_NUMERIC_CLAMP_H
#define MORVEN_CORE_NUMERIC_CLAMP_H

// Values below 0 and NaN become 0, values above 1 become 1.
inline float clamp01(float v) { return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f; }

#endif

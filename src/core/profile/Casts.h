#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kivo {

// Where a sample was taken in a profile cast, told from the pressure alone.
enum class CastPhase : std::uint8_t {
    Deck,    // near the surface before or after a cast (or never left it)
    Soak,    // in the water at the start of a cast, before the descent
    Down,    // the descent to the deepest point
    Bottom,  // after the deepest point, before the ascent
    Up       // the ascent back to the surface
};
// "deck", "soak", "down", "bottom", "up".
const char* CastPhaseName(CastPhase phase);

// What decides the phases. A frame pulled out of the water reads about 0 dbar.
struct CastThresholds {
    double surface = 0.5;    // [dbar] shallower is on deck
    double minSpeed = 0.25;  // [dbar/s] slower than this the frame is held, not lowered or hauled
    // [s] the speed is taken over this span, centred on the sample: about a heave period or
    // longer, so that heave does not look like a change of direction
    double window = 10.0;
    double minDepth = 2.0;  // [dbar] an excursion that never gets deeper is no cast
    double minDeck = 10.0;  // [s] a shorter time above `surface` does not end the cast
};

// One sample's place: its phase, the cast's number (1, 2 ...; 0 on deck) and, in a down or up
// trace, whether it is a loop: a sample not deeper than every one before it in the down trace
// (not shallower in the up trace), as ship heave makes them. Loops stay out of bin averages.
struct CastMark {
    CastPhase phase = CastPhase::Deck;
    int cast = 0;
    bool loop = false;

    bool operator==(const CastMark& other) const {
        return phase == other.phase && cast == other.cast && loop == other.loop;
    }
};

// The phases of a recording's samples, from their times [s, increasing] and pressures [dbar].
//
// A cast is a stay below `surface` (broken only by shorter rises than `minDeck` seconds, as
// heave near the surface makes them) that reaches `minDepth`. The speed of a sample is the
// pressure's change across `window` seconds centred on it; the frame is lowered while it is
// at least `minSpeed`, hauled while it is at most -`minSpeed`. The down trace is the last run
// of lowering up to the cast's deepest sample (the first of equals), from its shallowest
// sample on; the samples in the water before it are the soak. After it the frame is at the bottom
// until it is first hauled; the up trace lasts from there until the cast ends. Everything else is
// deck.
//
// The same function serves a file, with every sample known, and the live view, which runs it
// again on the samples so far: a phase told live can change as later samples arrive.
std::vector<CastMark> FindCasts(const std::vector<double>& seconds,
                                const std::vector<double>& pressure,
                                const CastThresholds& thresholds = {});

}  // namespace kivo

#pragma once

#include <cstddef>
#include <map>
#include <vector>

#include "core/profile/Casts.h"

namespace kivo {

// The bin of a pressure: bin k of size B holds [k·B − B/2, k·B + B/2) and is labelled by its
// centre k·B [dbar].
long PressureBin(double pressure, double binSize);

// One bin of a profile: the mean of each value over the samples in it, and how many there
// were. A value missing (NaN) in some samples is the mean of the others; in all, NaN.
struct ProfileBin {
    double centre = 0.0;  // [dbar]
    std::size_t samples = 0;
    std::vector<double> means;
};

// One cast's down or up trace, bin averaged.
struct Profile {
    int cast = 0;
    CastPhase direction = CastPhase::Down;  // Down or Up
    double startSeconds = 0.0;              // the trace's first sample [s]
    std::vector<ProfileBin> bins;           // by increasing pressure, empty bins left out
};

// Bin averages of each profile, taken one sample at a time: only samples of a down or up
// trace that are no loop count, and only values in engineering units should be given (an
// average of counts is no measurement). Memory grows with the bins, not the samples.
class ProfileBinner {
public:
    ProfileBinner(double binSize, std::size_t valueCount);

    void Add(const CastMark& mark, double seconds, double pressure,
             const std::vector<double>& values);
    // In the order their first samples came.
    std::vector<Profile> Profiles() const;

private:
    struct Sums {
        std::size_t samples = 0;
        std::vector<double> sum;
        std::vector<std::size_t> counted;
    };
    struct Trace {
        int cast = 0;
        CastPhase direction = CastPhase::Down;
        double startSeconds = 0.0;
        std::map<long, Sums> bins;
    };

    double binSize_;
    std::size_t valueCount_;
    std::vector<Trace> traces_;
};

}  // namespace kivo

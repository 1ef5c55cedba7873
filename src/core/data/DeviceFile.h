#pragma once

#include <cstdint>
#include <istream>
#include <string>

#include "core/data/DeviceCalibration.h"
#include "core/seams/Prompts.h"

namespace kivo {

// Reads a device file (*.dev) from its first line into `calibration`.
//
// The first line is the meter's title; every further line that begins with a key
// ("CHL=", "Lambda=", ... compared without regard to case) sets a column or a parameter,
// any other line is skipped. Lines are read in pieces of at most 98 characters (the rest
// of a longer line is a line of its own), CR LF reads as LF.
//
// On success `deviceName` becomes the title (TABs as blanks) and the caller sets
// PlotSetupPending. On failure `definitionCount` is 0, `deviceName` is unchanged, and
// the tables hold the reset values plus what the lines before the failure set. Failures:
//  - a key line without the numbers its key needs, or with one that is not finite
//    ("1e400", "nan", "inf"; also a number beyond single precision): warning "Invalid Line
//    '%s' in *.dev file" quoting the piece as read, line end included;
//  - a column number of 0 or below, or a "Lambda="/"Lambdaref=" line for a column outside
//    2-10 (it would pour its numbers into another kind's calibration): the same warning;
//  - a column number above 75: no warning;
//  - more column definitions than "Columns=" declared: warning "More Data Fields (%d) than
//    Columns (%d) in *.dev";
//  - an empty file (no title line): no warning; the caller reports the file as invalid.
// A column defined by two lines loads as before (the later line gives its type, both count
// as definitions) but warns, once a load: "KIVO Device File Warning" / "Column %d Defined
// Twice in *.dev file: Line '%s' replaces the earlier definition", quoting the later line
// without its line end.
// An "iengrunits=" text is cut to 83 characters.
bool ReadDeviceFile(std::istream& in, DeviceCalibration& calibration, std::string& deviceName,
                    Prompts& prompts);

// Chart colour of a wavelength [nm], as R + 256 G + 65536 B. Below 380 nm counts as 380,
// above 780 as 780; the intensity falls off toward both ends of the visible band.
std::uint32_t WavelengthColour(int nanometres);

// Resets the kind counters and counts the types of columns 1..columnCount.
void CountKinds(DeviceCalibration& calibration, int columnCount);

// Which selectors of the plot tab are shown after a load.
struct PlotSelectorVisibility {
    bool plotType = false;     // PlotTypeCB
    bool scattering = false;   // BBPlotCB
    bool iTemp = false;        // iTempCB
    bool xTemp = false;        // xTempCB
    bool pressure = false;     // PresCB
    bool hideFlSetup = false;  // TSFLSetup is hidden (never shown from here)
};

PlotSelectorVisibility VisiblePlotSelectors(const DeviceCalibration& calibration,
                                            bool engrUnitsSelected);

}  // namespace kivo

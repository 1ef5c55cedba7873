#pragma once

// The window's controls that show the session's state or forward the operator's commands,
// each the widget whose object name is the same text.
#define KIVO_CONTROLS(X)                                                                          \
    /* main window status labels and panels */                                                    \
    X(LBHostDandT)                                                                                \
    X(LBKIVODandT)                                                                                \
    X(LBClockOffset)                                                                              \
    X(LBHz1)                                                                                      \
    X(LBCast)                                                                                     \
    X(LBRecordStatus)                                                                             \
    X(LBRawFileName)                                                                              \
    X(LBRawFileSize)                                                                              \
    X(LBDeviceFile)                                                                               \
    X(LBEngrFileName)                                                                             \
    X(LBEngrFileSize)                                                                             \
    X(LBTotalIn)                                                                                  \
    X(PStore)                                                                                     \
    X(PCOMPort) X(PMeterType) X(Label4) /* left column */                                         \
        X(BTStopData) X(BTStartData) X(BTRecordRaw) X(BTRecordEngr) X(BTStopRecord) X(CBHostPort) \
            X(CBBaudRate) /* menu */                                                              \
        X(LoadDeviceFile) X(RealTimeData) X(ReplayRawFile) X(MenuAdvancedSetup) X(EarlyCommands)  \
            X(Exit1) /* pages */                                                                  \
        X(TSSetup) X(TSAdvanced) X(TSFLSetup) X(TSRaw) X(TSPlot)                                  \
            X(TabSheet1) /* Meter Setup page */                                                   \
        X(MEAverage) X(MEPacket) X(MESample) X(TimeInterval) X(BTAverage) X(BTPacket) X(BTSample) \
            X(BTInterval) X(BTGetSetup1) X(BTGetDandT) X(BTLogging) X(BTErase) X(BTSetDandTPC)    \
                X(BTSetTime) X(BTOpen) X(BTClose) X(BTStoreToFlash1) X(BTReloadSetup1) X(LBAVE)   \
                    X(LBNS) X(LBNC) X(LBCI) X(LBLog) X(LBStorageUsed) X(LBStorageFree)            \
                        X(LBHz2) /* Advanced Setup page */                                        \
        X(BTGetTiming) X(MEph1onTime) X(MEph1offTime) X(MEph11onTime) X(MEph11offTime)            \
            X(BTph1onTime) X(BTph1offTime) X(BTph11onTime) X(BTph11offTime) X(LBph1onTime)        \
                X(LBph1offTime) X(LBph11onTime) X(LBph11offTime) X(BTTimingSwap) X(BTOne)         \
                    X(MEHexDump) X(BTHexDump) X(PowerUserPanel) X(BTStoreSetup)                   \
                        X(BTReload) /* FL-Setup page */                                           \
        X(CBAnalogRange) X(BTAnalogRange2) X(BTCal) X(MEflscale) X(BTflscale) X(MEfloffset)       \
            X(BTfloffset) X(BTGetSetup2) X(BTStoreToFlash2) X(Button22) X(LBuglscale)             \
                X(LBugloffset) X(LBCal) X(LBHiRes) X(LBStdRes) X(LBWideRange) X(HRArrow)          \
                    X(SRArrow) X(WRArrow) X(LBDFuglscale) X(LBDFugloffset) /* Plot Data page */   \
        X(PlotTypeCB) X(BBPlotCB) X(StdDevCB) X(iTempCB) X(xTempCB) X(PresCB)                     \
            X(ProfileViewCheck) /* Transfer Data page */                                          \
        X(BTGetData) X(BitBtnCancel) X(BTErase2) X(LBReceiveFile) X(LBReceiveFileSize)            \
            X(LBReceiveStatus) X(DownloadProgress) /* left column, beneath the byte count */      \
        X(ReplayProgress)

namespace kivo {

enum class Control {
#define KIVO_CONTROL_ENUM(name) name,
    KIVO_CONTROLS(KIVO_CONTROL_ENUM)
#undef KIVO_CONTROL_ENUM
};

#define KIVO_CONTROL_COUNT(name) +1
inline constexpr int kControlCount = 0 KIVO_CONTROLS(KIVO_CONTROL_COUNT);
#undef KIVO_CONTROL_COUNT

// The control's name, which is also the widget's object name.
const char* ControlName(Control control);

// Colours by meaning; the desktop's own where it has one.
enum class Colour {
    ButtonFace,  // the desktop's standard control colour
    MenuFace,    // the desktop's menu colour
    Yellow,
    Red,
};

}  // namespace kivo

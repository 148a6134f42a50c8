#pragma once
// Records and enumerations of the screen-record SDK.

#include <QList>
#include <QMetaType>
#include <QRect>
#include <QString>

// 0..5 = 1, 2, 4, 8, 16, 32 x 1048576 bit/s; 6 none (CRF, CQP); 6 or more encodes 8388608 bit/s.
enum _PaxBitrateValueE : int {
    PaxBitrateValue1M = 0,
    PaxBitrateValue2M = 1,
    PaxBitrateValue4M = 2,
    PaxBitrateValue8M = 3,
    PaxBitrateValue16M = 4,
    PaxBitrateValue32M = 5,
    PaxBitrateValueNone = 6,
};

enum _PaxBitrateTypeE : int {
    PaxBitrateTypeCBR = 0,
    PaxBitrateTypeVBR = 1,
    PaxBitrateTypeABR = 2,
    PaxBitrateTypeCRF = 3,
    PaxBitrateTypeCQP = 4,
};

// The "crf"/"qp" text given to the encoder: "51", "23", "13"; 3 none.
enum _PaxQuantizationParameterE : int {
    PaxQuantizationParameter51 = 0,
    PaxQuantizationParameter23 = 1,
    PaxQuantizationParameter13 = 2,
    PaxQuantizationParameterNone = 3,
};

enum _PaxProfileE : int {
    PaxProfileBaseline = 0,
    PaxProfileExtended = 1,
    PaxProfileMain = 2,
    PaxProfileHigh = 3,
};

enum _PaxPresetModeE : int {
    PaxPresetUltrafast = 0,
    PaxPresetSuperfast = 1,
    PaxPresetVeryfast = 2,
    PaxPresetFaster = 3,
    PaxPresetFast = 4,
    PaxPresetMedium = 5,
    PaxPresetSlow = 6,
    PaxPresetSlower = 7,
    PaxPresetVeryslow = 8,
    PaxPresetPlacebo = 9,
};

enum _PaxRecordQualityE : int {
    PaxRecordQualityHigh = 0,
    PaxRecordQualityMiddle = 1,
    PaxRecordQualityLow = 2,
    PaxRecordQualityCustom = 3,
};

// The status of a recorder thread (the microphone recorder knows only stop and run), and the
// state of a recording as reported: the same numbers.
enum _PaxRecordStatusE : int {
    PaxRecordStop = 0,
    PaxRecordRun = 1,
    PaxRecordPause = 2,
};

// A screen recording as reported: state 0 idle, 1 recording, 2 paused.
typedef struct _PaxScreenRecordInfoS {
    int state = PaxRecordStop;
    QString fileName;        // the MP4 file; empty while pushing a stream
    int recordSeconds = 0;   // whole seconds recorded, pauses excluded
    QRect rect;              // the recorded area, in capture pixels while recording
    QString pushStreamUrl;   // empty while recording to a file
    // The FFmpeg error of the write that ended the recording (a full disk, say), 0 when none. The
    // file keeps what was written before it.
    int writeError = 0;
} PaxScreenRecordInfoS;

// One microphone: its index among the listed sources, its name and a field left empty.
struct _ScreenMicrophoneS {
    int index = -1;
    QString name;
    QString reserved;
};

Q_DECLARE_METATYPE(PaxScreenRecordInfoS)
Q_DECLARE_METATYPE(_ScreenMicrophoneS)

#pragma once
// Known USB camera models: which vendor/product ids are driven as the main or the second camera.

#include <QList>
#include <QString>

class CameraVidPid
{
public:
    enum _CameraType : int {
        CameraTypeMain = 0,
        CameraTypeSecond = 1,
    };
    enum _FuncTypeE : int {
        FuncType1 = 1,
        FuncType2 = 2,
    };

    // A row with function type 2. vid and pid are four lower-case hexadecimal digits.
    CameraVidPid(_CameraType type, QString vid, QString pid);

    QString getVid() const;
    QString getPid() const;
    _CameraType getType() const;
    _FuncTypeE getFuncType() const;
    void setFuncType(_FuncTypeE funcType);

private:
    _CameraType m_type;
    QString m_vid;
    QString m_pid;
    _FuncTypeE m_funcType = FuncType2;
};

// The process-wide table, filled by initCameraVidPidList() on the first call while empty.
QList<CameraVidPid>& getCameraVidPidList();
// Appends the configured rows, in order: main-camera rows first, then second-camera rows.
void initCameraVidPidList();

#include "paxcamerainfo1.h"

#include "paxintool.h"

PaxCameraInfo1* PaxCameraInfo1::s_instance = nullptr;

namespace {
// The search's error line carries its fixed line number.
constexpr int kLineNotFindCamera = 46;
}

PaxCameraInfo1* PaxCameraInfo1::getInstance()
{
    if (!s_instance)
        s_instance = new PaxCameraInfo1();
    return s_instance;
}

void PaxCameraInfo1::releaseInstance()
{
    delete s_instance;
    s_instance = nullptr;
}

void PaxCameraInfo1::searchCameraDeviceInfo()
{
    m_cameraList.clear();
    pax_log_line(true, __FILE__, "searchCameraDeviceInfo", kLineNotFindCamera, "not find camera");
    m_curCamera = -1;
}

QStringList PaxCameraInfo1::getCameraList()
{
    QStringList names;
    for (const _CameraDeviceInfoS& c : m_cameraList)
        names.append(c.cameraName);
    return names;
}

int PaxCameraInfo1::getCurCameraIndex()
{
    return m_curCamera;
}

bool PaxCameraInfo1::switchCurCamera(int i)
{
    if (!_validCamera(i))
        return false;
    m_curCamera = i;
    if (m_cameraList.at(i).curOption < 0)
        switchCurCameraSolution(-1);
    else
        emit sigCurCameraInfoChange();
    return true;
}

PaxCameraInfo1::_CameraDeviceInfoS PaxCameraInfo1::getCameraInfo(int i)
{
    return _validCamera(i) ? m_cameraList.at(i) : _CameraDeviceInfoS();
}

QList<_SolutionS> PaxCameraInfo1::_solutions(const _CameraDeviceInfoS& camera, int mode)
{
    QList<_SolutionS> list;
    for (int n = 0; n < camera.optionList.size(); ++n) {
        const _Device_Option& o = camera.optionList.at(n);
        if (o.openMode != mode)
            continue;
        _SolutionS s;
        s.index = n;
        s.width = o.width;
        s.height = o.height;
        list.append(s);
    }
    return list;
}

int PaxCameraInfo1::_firstOptionOfMode(const _CameraDeviceInfoS& camera)
{
    for (int n = 0; n < camera.optionList.size(); ++n) {
        if (camera.optionList.at(n).openMode == camera.openMode)
            return n;
    }
    return -1;
}

QList<_SolutionS> PaxCameraInfo1::getCurCameraSolutionList()
{
    if (!_validCamera(m_curCamera))
        return {};
    const _CameraDeviceInfoS& c = m_cameraList.at(m_curCamera);
    return _solutions(c, c.openMode);
}

int PaxCameraInfo1::getCurCameraSolutionIndex()
{
    return getCameraSolutionIndex(m_curCamera);
}

int PaxCameraInfo1::getCameraSolutionIndex(int i)
{
    return _validCamera(i) ? m_cameraList.at(i).curOption : -1;
}

_PaxOpenModeE PaxCameraInfo1::getCurCameraOpenMode()
{
    return getCameraOpenMode(m_curCamera);
}

_PaxOpenModeE PaxCameraInfo1::getCameraOpenMode(int i)
{
    return _validCamera(i) ? m_cameraList.at(i).openMode : PaxOpenModeNone;
}

QList<_SolutionS> PaxCameraInfo1::getCameraSolutionList(int i, _PaxOpenModeE mode)
{
    if (!_validCamera(i))
        return {};
    const _CameraDeviceInfoS& c = m_cameraList.at(i);
    return _solutions(c, mode == PaxOpenModeNone ? c.openMode : mode);
}

bool PaxCameraInfo1::_setOpenMode(int i, _PaxOpenModeE mode)
{
    if (!_validCamera(i) || m_cameraList.at(i).openMode == mode)
        return false;
    m_cameraList[i].openMode = mode;
    return true;
}

bool PaxCameraInfo1::switchCurCameraOpenMode(_PaxOpenModeE mode)
{
    if (!_setOpenMode(m_curCamera, mode))
        return false;
    switchCurCameraSolution(-1);
    return true;
}

bool PaxCameraInfo1::switchCameraOpenMode(int i, _PaxOpenModeE mode)
{
    if (!_setOpenMode(i, mode))
        return false;
    switchCameraSolution(i, -1);
    return true;
}

bool PaxCameraInfo1::_switchSolution(int i, int n)
{
    _CameraDeviceInfoS& c = m_cameraList[i];
    if (c.optionList.isEmpty() || n >= c.optionList.size())
        return false;
    if (n < 0) {
        const int first = _firstOptionOfMode(c);
        if (first >= 0)
            c.curOption = first;
        return true;
    }
    if (n == c.curOption || c.optionList.at(n).openMode != c.openMode)
        return false;
    c.curOption = n;
    return true;
}

bool PaxCameraInfo1::switchCurCameraSolution(int n)
{
    if (!_validCamera(m_curCamera) || !_switchSolution(m_curCamera, n))
        return false;
    emit sigCurCameraInfoChange();
    return true;
}

bool PaxCameraInfo1::switchCameraSolution(int i, int n)
{
    if (!_validCamera(m_curCamera) || !_validCamera(i) || !_switchSolution(i, n))
        return false;
    emit sigCameraInfoChange(i);
    return true;
}

QList<PaxCameraInfo1::_MicrophoneS> PaxCameraInfo1::getMicrophoneList()
{
    return m_microphoneList;
}

void PaxCameraInfo1::_adjustOptionList(QList<_Device_Option>& list)
{
    QList<_Device_Option> placed;
    for (const char* format : {"mjpeg", "rawvideo"}) {
        const QString pixelFormat = QString::fromLatin1(format);
        const int passStart = placed.size();
        for (const _Device_Option& option : list) {
            if (option.pixelFormat != pixelFormat)
                continue;
            bool repeated = false;
            int pos = placed.size();
            for (int k = passStart; k < placed.size(); ++k) {
                const _Device_Option& other = placed.at(k);
                if (other.width == option.width && other.height == option.height) {
                    repeated = true;
                    break;
                }
                const bool beats = option.width > other.width
                                   || (option.width == other.width && option.height > other.height);
                if (beats && pos == placed.size())
                    pos = k;
            }
            if (!repeated)
                placed.insert(pos, option);
        }
    }
    list = placed;
}

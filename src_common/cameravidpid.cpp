#include "cameravidpid.h"

#include "uvcbackend.h"

namespace {

struct KnownCamera
{
    CameraVidPid::_CameraType type;
    const char* vid;
    const char* pid;
};

// The configured models, lower-case four-digit ids.
constexpr KnownCamera kKnownCameras[] = {
    {CameraVidPid::CameraTypeMain, "046d", "082d"},
    {CameraVidPid::CameraTypeMain, "046d", "0825"},
    {CameraVidPid::CameraTypeMain, "046d", "0843"},
    {CameraVidPid::CameraTypeMain, "046d", "085c"},
    {CameraVidPid::CameraTypeMain, "046d", "085e"},
    {CameraVidPid::CameraTypeSecond, "045e", "0779"},
};

QList<CameraVidPid> g_cameraVidPidList;

} // namespace

CameraVidPid::CameraVidPid(_CameraType type, QString vid, QString pid)
    : m_type(type), m_vid(std::move(vid)), m_pid(std::move(pid))
{
}

QString CameraVidPid::getVid() const
{
    return m_vid;
}

QString CameraVidPid::getPid() const
{
    return m_pid;
}

CameraVidPid::_CameraType CameraVidPid::getType() const
{
    return m_type;
}

CameraVidPid::_FuncTypeE CameraVidPid::getFuncType() const
{
    return m_funcType;
}

void CameraVidPid::setFuncType(_FuncTypeE funcType)
{
    m_funcType = funcType;
}

QList<CameraVidPid>& getCameraVidPidList()
{
    if (g_cameraVidPidList.isEmpty())
        initCameraVidPidList();
    return g_cameraVidPidList;
}

void initCameraVidPidList()
{
    QList<CameraVidPid> main;
    QList<CameraVidPid> second;
    auto add = [&](CameraVidPid::_CameraType type, const QString& vid, const QString& pid) {
        (type == CameraVidPid::CameraTypeMain ? main : second).append(CameraVidPid(type, vid, pid));
    };
    for (const KnownCamera& row : kKnownCameras)
        add(row.type, QString::fromLatin1(row.vid), QString::fromLatin1(row.pid));
    // Models the platform layer adds (a virtual camera while it is selected).
    for (const pax_uvc::KnownCameraId& row : pax_uvc::platformKnownCameras())
        add(row.second ? CameraVidPid::CameraTypeSecond : CameraVidPid::CameraTypeMain, row.vid, row.pid);
    g_cameraVidPidList.append(main);
    g_cameraVidPidList.append(second);
}

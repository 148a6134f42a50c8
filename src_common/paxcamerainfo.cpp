#include "paxcamerainfo.h"

#include "macuvcclient.h"
#include "paxintool.h"
#include "paxmacos.h"
#include "paxplatform.h"
#include "paxuvccontrol.h"
#include "videodeviceenum.h"

#include <QCoreApplication>
#include <QDebug>
#include <QMutexLocker>
#include <QProcess>
#include <QThread>

PaxCameraInfo* PaxCameraInfo::s_instance = nullptr;

namespace {

const char* const kToolProgram = "mytool";
constexpr int kToolTimeoutMs = 30000;

// The camera-id step logs its errors under the search's name, each at its fixed line number.
const char* const kSearchFunction = "_searchCameraDeviceInfoInMac";
constexpr int kLineKorvidReset = 1276;
constexpr int kLineSearchFailed = 1285;
constexpr int kLineNoValidDevice = 1290;
constexpr int kLineUvcNotInit = 1302;

void searchError(int line, const char* text)
{
    pax_log_line(true, __FILE__, kSearchFunction, line, "%s", text);
}

// A video device carries a camera id when its device name is the id itself or ends
// with ":" and the id (the enumerator's "/dev/videoN:vvvvpppp").
bool deviceHasId(const QString& deviceName, const QString& id)
{
    if (id.isEmpty())
        return false;
    return deviceName == id || deviceName.endsWith(QLatin1Char(':') + id);
}

// Text after the first "]" of a listing piece up to its line break, trimmed, turned from the
// listing's form back into the name (see pax_platform::listedName).
QString entryName(const QString& piece, int bracket)
{
    QString rest = piece.mid(bracket + 1);
    const int eol = rest.indexOf(QLatin1Char('\n'));
    if (eol >= 0)
        rest.truncate(eol);
    return pax_platform::nameFromListing(rest.trimmed());
}

void sizeNumbers(const QString& size, int* width, int* height)
{
    const int x = size.indexOf(QLatin1Char('x'));
    *width = size.left(x).toInt();
    *height = size.mid(x + 1).toInt();
}

} // namespace

PaxCameraInfo* PaxCameraInfo::getInstance()
{
    if (!s_instance)
        s_instance = new PaxCameraInfo();
    return s_instance;
}

void PaxCameraInfo::releaseInstance()
{
    delete s_instance;
    s_instance = nullptr;
}

PaxCameraInfo::PaxCameraInfo() = default;
PaxCameraInfo::~PaxCameraInfo() = default;

bool PaxCameraInfo::_isFilledLocked() const
{
    return !m_devices[PaxCameraIndexMain].deviceNameInMac.isEmpty();
}

QString PaxCameraInfo::_toolText(const QByteArray& bytes)
{
    const int nul = bytes.indexOf('\0');
    return QString::fromLatin1(nul >= 0 ? bytes.left(nul) : bytes);
}

QByteArray PaxCameraInfo::_runTool(const QStringList& args)
{
    QProcess process;
    process.setWorkingDirectory(QCoreApplication::applicationDirPath());
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(pax_platform::helperProgramPath(QString::fromLatin1(kToolProgram)), args, QIODevice::ReadWrite);
    if (!process.waitForStarted(kToolTimeoutMs))
        return QByteArray();
    process.closeWriteChannel();
    const bool finished = process.waitForFinished(kToolTimeoutMs);
    QByteArray out = process.readAll();
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
        out += process.readAll();
    }
    return out;
}

// ---------------------------------------------------------------- parsers

void PaxCameraInfo::_parseDeviceOptions(const QString& output, QList<_Device_Option>& list)
{
    QStringList seenKeys;
    const QStringList lines = output.split(QLatin1Char('\n'));
    for (const QString& line : lines) {
        if (!line.contains(QLatin1String("fps")) && !line.contains(QLatin1String("rawvideo")))
            continue;
        _Device_Option mode;
        const QStringList words = line.split(QLatin1Char(' '));
        for (const QString& word : words) {
            const int at = word.indexOf(QLatin1String("@["));
            if (at >= 0) {
                const QString size = word.left(at);
                if (size.contains(QLatin1Char('x')) && mode.video_size.isEmpty()) {
                    mode.video_size = size.trimmed();
                    sizeNumbers(mode.video_size, &mode.width, &mode.height);
                }
            } else if (word.contains(QLatin1String("fps"))) {
                mode.fps = word.left(word.indexOf(QLatin1Char('.'))).toInt();
            } else if (word.contains(QLatin1Char('x')) && word.contains(QLatin1Char(','))
                       && !word.contains(QLatin1Char(')'))) {
                // Stream line: the size the tool opened; it ends the probe.
                mode.video_size = word.left(word.indexOf(QLatin1Char(',')));
                sizeNumbers(mode.video_size, &mode.width, &mode.height);
                if (mode.width > 0 && mode.height > 0)
                    list.append(mode);
                return;
            }
        }
        if (mode.video_size.isEmpty() || mode.width <= 0 || mode.height <= 0)
            continue;
        mode.optionText = QStringLiteral(" video_size:") + mode.video_size + QStringLiteral(" fps:")
                          + QString::number(mode.fps);
        if (seenKeys.contains(mode.optionText))
            continue;
        seenKeys.append(mode.optionText);

        bool merged = false;
        for (_Device_Option& existing : list) {
            if (existing.width == mode.width && existing.height == mode.height) {
                if (mode.fps > existing.fps)
                    existing.fps = mode.fps;
                merged = true;
                break;
            }
        }
        if (merged)
            continue;
        int pos = list.size();
        for (int i = 0; i < list.size(); ++i) {
            if (list.at(i).height > mode.height || list.at(i).width > mode.width) {
                pos = i;
                break;
            }
        }
        list.insert(pos, mode);
    }
}

PaxCameraInfo::_DeviceListingS PaxCameraInfo::_parseDeviceListing(const QString& output, const QString& mainName,
                                                                  const QString& secondName)
{
    _DeviceListingS result;
    bool audio = false;
    const QStringList pieces = output.split(QLatin1Char('['));
    for (const QString& piece : pieces) {
        const int bracket = piece.indexOf(QLatin1Char(']'));
        bool numbered = false;
        // A head that is no number reads as 0.
        const int number = bracket >= 0 ? piece.left(bracket).toInt(&numbered, 10) : 0;
        if (!audio) {
            qDebug().noquote() << "refreshDeviceMac 5:" << piece << "," << mainName;
            const bool entry = bracket >= 0;
            const QString name = entry ? entryName(piece, bracket) : QString();
            if (entry && !mainName.isEmpty() && name == mainName) {
                result.mainIndex = number;
                qDebug().noquote() << "refreshDeviceMac 61:" << number << "," << mainName;
            } else if (entry && !secondName.isEmpty() && name == secondName) {
                result.secondIndex = number;
                qDebug().noquote() << "refreshDeviceMac 62:" << number << "," << secondName << ","
                                   << piece.left(bracket);
            } else if (entry && piece.contains(QLatin1String("Capture screen"))) {
                qDebug().noquote() << "refreshDeviceMac 63:" << piece;
                result.screenFound = true;
                result.screenIndex = number;
                result.screenName = entryName(piece, bracket);
            }
            if (piece.contains(QLatin1String("AVFoundation audio devices"))) {
                audio = true;
                result.audioHeading = true;
            }
            continue;
        }
        qDebug().noquote() << "refreshDeviceMac 51:" << piece;
        // An entry is "N]" or "NN]" and a name: longer heads are the tool's line prefixes.
        if (bracket < 0 || bracket > 2 || !numbered || number < 0)
            continue;
        _MicrophoneS mic;
        mic.index = number;
        mic.name = entryName(piece, bracket);
        if (mic.name.isEmpty())
            continue;
        result.microphones.append(mic);
        qDebug().noquote() << "refreshDeviceMac 52:" << mic.name << "," << mic.index;
    }
    return result;
}

// ---------------------------------------------------------------- probe and search

void PaxCameraInfo::_getDeviceOptionsMac(int avIndex, QList<_Device_Option>& list)
{
    const QStringList args{QStringLiteral("-f"), QStringLiteral("avfoundation"), QStringLiteral("-i"),
                           QString::number(avIndex)};
    qDebug().noquote() << "_getDeviceOptionsMac 0,command:"
                       << (QString::fromLatin1(kToolProgram) + QLatin1Char(' ') + args.join(QLatin1Char(' ')));
    _parseDeviceOptions(_toolText(_runTool(args)), list);
}

void PaxCameraInfo::_initCameraDevice()
{
    QMutexLocker lock(&m_mutex);
    for (int i = PaxCameraIndexMain; i <= PaxCameraIndexSecond; ++i) {
        _CameraDeviceInfoS& d = m_devices[i];
        d.deviceNameInMac.clear();
        d.deviceIndexInMac = -1;
        d.show_option = -1;
        d.real_option = -1;
        d.optionList.clear();
        d.reserveNumber = 0;
        d.reserveFlag = true;
        d.reserveText1.clear();
        d.reserveText2.clear();
    }
    m_microphones.clear();
}

int PaxCameraInfo::_fetchCameraIds(QString& mainId, QString& secondId)
{
    mainId.clear();
    secondId.clear();
    if (isAvailableMacos13()) {
        MacUvcClient* client = MacUvcClient::getInstance();
        int r = client->searchDevice(mainId, secondId);
        if (r == MUCR_TIMEOUT) {
            searchError(kLineKorvidReset, "korvid reset");
            client->resetServer();
            // 3 s for the restarted service; an ending program does not wait for it.
            for (int step = 0; step < 15 && !client->isInterrupted(); ++step)
                QThread::msleep(200);
            mainId.clear();
            secondId.clear();
            r = client->searchDevice(mainId, secondId);
        }
        if (r != 0) {
            searchError(kLineSearchFailed, "MacUvcClient searchDevice failed");
            mainId.clear();
            secondId.clear();
            return -1;
        }
        if (mainId.isEmpty()) {
            searchError(kLineNoValidDevice, "MacUvcClient searchDevice success, but not find valid device");
            secondId.clear();
            return -1;
        }
        return 0;
    }
    PaxUvcControl* uvc = PaxUvcControl::getInstance();
    uvc->freshDevice(false);
    if (!uvc->isSuccessInit()) {
        searchError(kLineUvcNotInit, "uvc control is not success init");
        return -1;
    }
    mainId = uvc->getMainVid() + uvc->getMainPid();
    secondId = uvc->getSecondVid() + uvc->getSecondPid();
    return 0;
}

void PaxCameraInfo::_setServiceCameraName(int index, const QString& name)
{
    if (isAvailableMacos13())
        MacUvcClient::getInstance()->setCameraName(index, name);
}

int PaxCameraInfo::_searchCameraDeviceInfoInMac()
{
    QString mainId;
    QString secondId;
    if (_fetchCameraIds(mainId, secondId) != 0)
        return -1;

    QString mainName;
    QString secondName;
    QString screenName;
    const QList<pax_platform::VideoDevice> devices = pax_platform::availableVideoDevices();
    for (const pax_platform::VideoDevice& device : devices) {
        qDebug().noquote() << "refreshDeviceMac 0:" << device.deviceName << "," << device.description;
        if (secondId.isEmpty() && device.description.contains(QLatin1String("FaceTime")))
            secondId = device.deviceName;
        qDebug().noquote() << "refreshDeviceMac 01:" << mainId << "," << secondId;
        if (deviceHasId(device.deviceName, mainId)) {
            mainName = device.description;
            qDebug().noquote() << "refreshDeviceMac 1:" << mainId;
            _setServiceCameraName(0, mainName);
        } else if (deviceHasId(device.deviceName, secondId)) {
            secondName = device.description;
            qDebug().noquote() << "refreshDeviceMac 2:" << secondId;
            _setServiceCameraName(1, secondName);
        } else if (device.description.contains(QLatin1String("Capture screen"))) {
            screenName = device.description;
        }
    }
    {
        QMutexLocker lock(&m_mutex);
        m_devices[PaxCameraIndexMain].deviceNameInMac = mainName;
        m_devices[PaxCameraIndexSecond].deviceNameInMac = secondName;
        if (!screenName.isEmpty())
            m_devices[PaxCameraIndexScreen].deviceNameInMac = screenName;
    }
    if (mainName.isEmpty())
        return -2;

    const QStringList args{QStringLiteral("-list_devices"), QStringLiteral("true"), QStringLiteral("-f"),
                           QStringLiteral("avfoundation"), QStringLiteral("-i"), QStringLiteral("''")};
    qDebug().noquote() << "refreshDeviceMac 3:"
                       << (QString::fromLatin1(kToolProgram) + QLatin1Char(' ') + args.join(QLatin1Char(' ')));
    const _DeviceListingS listing = _parseDeviceListing(_toolText(_runTool(args)), mainName, secondName);
    {
        QMutexLocker lock(&m_mutex);
        m_devices[PaxCameraIndexMain].deviceIndexInMac = listing.mainIndex;
        m_devices[PaxCameraIndexSecond].deviceIndexInMac = listing.secondIndex;
        if (listing.screenFound) {
            m_devices[PaxCameraIndexScreen].deviceIndexInMac = listing.screenIndex;
            m_devices[PaxCameraIndexScreen].deviceNameInMac = listing.screenName;
        }
        m_microphones = listing.microphones;
    }

    // Modes are probed without the lock (the tool may take seconds) and swapped in after.
    for (int i = PaxCameraIndexMain; i <= PaxCameraIndexSecond; ++i) {
        const _PaxCameraIndexE idx = _PaxCameraIndexE(i);
        int avIndex;
        {
            QMutexLocker lock(&m_mutex);
            m_devices[i].optionList.clear();
            avIndex = m_devices[i].deviceIndexInMac;
        }
        if (avIndex == -1)
            continue;
        QList<_Device_Option> options;
        _getDeviceOptionsMac(avIndex, options);
        {
            QMutexLocker lock(&m_mutex);
            m_devices[i].optionList = options;
        }
        switchCameraSolution(idx, -1);
    }
    QMutexLocker lock(&m_mutex);
    m_devices[PaxCameraIndexScreen].optionList.clear();
    return m_devices[PaxCameraIndexMain].deviceIndexInMac != -1 ? 0 : -1;
}

int PaxCameraInfo::searchCameraDeviceInfo()
{
    _initCameraDevice();
    const int result = _searchCameraDeviceInfoInMac();

    const _CameraDeviceInfoS mainInfo = getCameraInfo(PaxCameraIndexMain);
    if (mainInfo.deviceNameInMac.isEmpty()) {
        qDebug("not find device!!! 1");
    } else {
        qDebug().noquote() << "main camera, name:" << mainInfo.deviceNameInMac << ",index:" << mainInfo.deviceIndexInMac;
        for (int n = 0; n < mainInfo.optionList.size(); ++n) {
            const _Device_Option& o = mainInfo.optionList.at(n);
            qDebug("main camera, option(%d) video_size(%s) fps(%d)", n, qPrintable(o.video_size), o.fps);
        }
    }
    const _CameraDeviceInfoS secondInfo = getCameraInfo(PaxCameraIndexSecond);
    if (!secondInfo.deviceNameInMac.isEmpty()) {
        qDebug().noquote() << "second camera, name:" << secondInfo.deviceNameInMac << ",index:"
                           << secondInfo.deviceIndexInMac;
        if (secondInfo.optionList.isEmpty())
            qDebug("second camera optionList is empty, so reset it!!!");
        for (int n = 0; n < secondInfo.optionList.size(); ++n) {
            const _Device_Option& o = secondInfo.optionList.at(n);
            qDebug("second camera, option(%d) video_size(%s) fps(%d)", n, qPrintable(o.video_size), o.fps);
        }
    }
    const QList<_MicrophoneS> mics = getMicrophoneList();
    qDebug().noquote() << "microphone number:" << mics.size();
    for (int n = 0; n < mics.size(); ++n) {
        const _MicrophoneS& m = mics.at(n);
        qDebug("microphone, number(%d) index(%d) name(%s) uniqueName(%s)", n, m.index, qPrintable(m.name),
               qPrintable(m.uniqueName));
    }
    QMutexLocker lock(&m_mutex);
    if (!m_microphones.isEmpty())
        m_curMicrophone = 0;
    return result;
}

// ---------------------------------------------------------------- queries

PaxCameraInfo::_CameraDeviceInfoS PaxCameraInfo::getCameraInfo(_PaxCameraIndexE idx)
{
    if (!_validIndex(idx))
        return _CameraDeviceInfoS();
    QMutexLocker lock(&m_mutex);
    return m_devices[idx];
}

bool PaxCameraInfo::isValidCamera(_PaxCameraIndexE idx)
{
    if (!_validIndex(idx))
        return false;
    QMutexLocker lock(&m_mutex);
    return m_devices[idx].deviceIndexInMac >= 0;
}

QList<PaxCameraInfo::_Device_Option> PaxCameraInfo::_filledOptions(_PaxCameraIndexE idx) const
{
    if (!_validIndex(idx))
        return {};
    QMutexLocker lock(&m_mutex);
    if (!_isFilledLocked())
        return {};
    return m_devices[idx].optionList;
}

QStringList PaxCameraInfo::getCameraSolutionList(_PaxCameraIndexE idx)
{
    QStringList list;
    const QList<_Device_Option> options = _filledOptions(idx);
    for (int i = 0; i < options.size(); ++i)
        list.append(QString::number(i) + QLatin1Char(':') + options.at(i).video_size);
    return list;
}

QList<_SolutionS> PaxCameraInfo::getCameraSolutionList1(_PaxCameraIndexE idx)
{
    QList<_SolutionS> list;
    const QList<_Device_Option> options = _filledOptions(idx);
    for (int i = 0; i < options.size(); ++i) {
        _SolutionS s;
        s.index = i;
        s.width = options.at(i).width;
        s.height = options.at(i).height;
        list.append(s);
    }
    return list;
}

int PaxCameraInfo::getCameraCurSolutionIndex(_PaxCameraIndexE idx)
{
    if (!_validIndex(idx))
        return -1;
    QMutexLocker lock(&m_mutex);
    if (!_isFilledLocked())
        return -1;
    return m_devices[idx].show_option;
}

bool PaxCameraInfo::_selectedOption(_PaxCameraIndexE idx, int _CameraDeviceInfoS::*which,
                                    _Device_Option* option) const
{
    if (!_validIndex(idx))
        return false;
    QMutexLocker lock(&m_mutex);
    if (!_isFilledLocked())
        return false;
    const _CameraDeviceInfoS& d = m_devices[idx];
    const int selected = d.*which;
    if (selected < 0 || selected >= d.optionList.size())
        return false;
    *option = d.optionList.at(selected);
    return true;
}

QString PaxCameraInfo::getCameraCurSolution(_PaxCameraIndexE idx)
{
    _Device_Option option;
    return _selectedOption(idx, &_CameraDeviceInfoS::show_option, &option) ? option.video_size : QString();
}

QString PaxCameraInfo::getCameraCurRealSolution(_PaxCameraIndexE idx)
{
    _Device_Option option;
    return _selectedOption(idx, &_CameraDeviceInfoS::real_option, &option) ? option.video_size : QString();
}

int PaxCameraInfo::getCameraCurFps(_PaxCameraIndexE idx)
{
    _Device_Option option;
    return _selectedOption(idx, &_CameraDeviceInfoS::real_option, &option) ? option.fps : -1;
}

int PaxCameraInfo::getCameraDeviceIndexInMac(_PaxCameraIndexE idx)
{
    if (!_validIndex(idx))
        return -1;
    QMutexLocker lock(&m_mutex);
    return m_devices[idx].deviceIndexInMac;
}

QString PaxCameraInfo::getCameraDeviceNameInMac(_PaxCameraIndexE idx)
{
    if (!_validIndex(idx))
        return QString();
    QMutexLocker lock(&m_mutex);
    return m_devices[idx].deviceNameInMac;
}

QList<PaxCameraInfo::_MicrophoneS> PaxCameraInfo::getMicrophoneList()
{
    QMutexLocker lock(&m_mutex);
    return m_microphones;
}

int PaxCameraInfo::getCurMicrophoneIndex()
{
    QMutexLocker lock(&m_mutex);
    return m_curMicrophone;
}

int PaxCameraInfo::getCurMicrophoneInfo(_MicrophoneS* out)
{
    QMutexLocker lock(&m_mutex);
    if (!out || m_curMicrophone < 0 || m_curMicrophone >= m_microphones.size())
        return -1;
    *out = m_microphones.at(m_curMicrophone);
    return 0;
}

int PaxCameraInfo::switchMicrophone(int n)
{
    QMutexLocker lock(&m_mutex);
    if (n < 0 || n >= m_microphones.size())
        return -1;
    m_curMicrophone = n;
    return 0;
}

int PaxCameraInfo::switchCameraSolution(_PaxCameraIndexE idx, int n)
{
    if (!_validIndex(idx))
        return -1;
    QMutexLocker lock(&m_mutex);
    if (idx != PaxCameraIndexScreen && !_isFilledLocked())
        return -1;
    _CameraDeviceInfoS& d = m_devices[idx];
    const QList<_Device_Option>& options = d.optionList;
    if (options.isEmpty() || n >= options.size())
        return -1;
    d.show_option = -1;
    d.real_option = -1;
    int chosen = n;
    if (n < 0) {
        chosen = 0;
        for (int i = 1; i < options.size(); ++i) {
            if (options.at(i).height > options.at(chosen).height)
                chosen = i;
        }
    }
    d.show_option = chosen;
    d.real_option = chosen;
    const int limit = m_devices[PaxCameraIndexMain].heightLimit;
    if (limit != kNoHeightLimit && options.at(chosen).height > limit) {
        for (int i = 0; i < options.size(); ++i) {
            if (options.at(i).height == limit) {
                d.real_option = i;
                break;
            }
        }
    }
    qDebug().noquote() << "PaxCameraInfo::switchCameraSolution show_option:" << d.show_option;
    qDebug().noquote() << "PaxCameraInfo::switchCameraSolution real_option:" << d.real_option;
    return 0;
}

int PaxCameraInfo::switchCameraSolution(_PaxCameraIndexE idx, int width, int height)
{
    if (!_validIndex(idx))
        return -1;
    int position = -1;
    {
        QMutexLocker lock(&m_mutex);
        if (!_isFilledLocked())
            return -1;
        const QList<_Device_Option>& options = m_devices[idx].optionList;
        for (int i = 0; i < options.size(); ++i) {
            if (options.at(i).width == width && options.at(i).height == height) {
                position = i;
                break;
            }
        }
    }
    return switchCameraSolution(idx, position);
}

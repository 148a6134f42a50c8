#include "wirelessdevicemanage.h"

#include "graphicsviewforwirelessdevice.h"
#include "paxintool.h"
#include "wirelessdevice.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QHostAddress>
#include <QNetworkDatagram>
#include <QTimer>
#include <QUdpSocket>

namespace {
constexpr int WaitPasses = 50;
constexpr int PassMs = 100;
constexpr int MaxDevices = 64;
}

WirelessDeviceManage* WirelessDeviceManage::ms_myWirelessDeviceManage = nullptr;

WirelessDeviceManage* WirelessDeviceManage::getInstance()
{
    if (!ms_myWirelessDeviceManage)
        ms_myWirelessDeviceManage = new WirelessDeviceManage();
    return ms_myWirelessDeviceManage;
}

void WirelessDeviceManage::releaseInstance()
{
    delete ms_myWirelessDeviceManage;
    ms_myWirelessDeviceManage = nullptr;
}

WirelessDeviceManage::WirelessDeviceManage()
{
    m_socket = new QUdpSocket();
    if (!m_socket->bind(QHostAddress::AnyIPv4, WirelessProtocol::DiscoveryLocalPort))
        PAX_LOG_ERROR("can't bind udp port %d: %s", WirelessProtocol::DiscoveryLocalPort,
                      qPrintable(m_socket->errorString()));
    connect(m_socket, &QUdpSocket::readyRead, this, &WirelessDeviceManage::slotUdpRead);
}

WirelessDeviceManage::~WirelessDeviceManage()
{
    _unpairAll();
    _clearDeivceList();
    delete m_socket;    // frees port 18888 for the next manager
}

QStringList WirelessDeviceManage::discoveryTargets()
{
    QStringList targets;
    const QString custom = qEnvironmentVariable("ORVANE_WIRELESS_TARGETS");
    if (!custom.isEmpty()) {
        for (const QString& text : custom.split(',', Qt::SkipEmptyParts)) {
            const QHostAddress address(text.trimmed());
            if (address.protocol() == QAbstractSocket::IPv4Protocol)
                targets.append(address.toString());
        }
        return targets;
    }
    for (int n = 0; n <= 255; ++n)
        targets.append(QStringLiteral("192.168.%1.255").arg(n));
    return targets;
}

void WirelessDeviceManage::searchDevice()
{
    _clearDeivceList();
    const QStringList targets = discoveryTargets();
    PAX_LOG_DEBUG("discovery targets: %s", qPrintable(targets.size() > 4 ? targets.first() + " ... " + targets.last()
                                                                           : targets.join(',')));
    const QByteArray message = WirelessProtocol::Discover;
    for (const QString& target : targets) {
        qint64 written = -1;
        for (int attempt = 0; attempt < 3 && written < message.size(); ++attempt)
            written = m_socket->writeDatagram(message, QHostAddress(target), WirelessProtocol::DiscoveryCameraPort);
        m_socket->flush();
        if (written < message.size())
            qDebug() << "socket failed " << written;
    }
    for (int pass = 0; pass < WaitPasses; ++pass) {
        QCoreApplication::processEvents();
        WirelessDevice* current = getCurDevice();
        if (current && !current->getCameraSolutionList().isEmpty())
            break;
        QEventLoop loop;
        QTimer::singleShot(PassMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
}

void WirelessDeviceManage::slotUdpRead()
{
    while (m_socket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket->receiveDatagram();
        QByteArray bytes = datagram.data();
        const int nul = bytes.indexOf('\0');
        if (nul >= 0)
            bytes.truncate(nul);
        const QString ip = QHostAddress(datagram.senderAddress().toIPv4Address()).toString();
        if (_isKnown(ip))
            continue;
        const QString reply = QString::fromUtf8(bytes);
        const quint16 port = quint16(datagram.senderPort());
        if (m_devices.size() >= MaxDevices) {
            _tryForPlace(reply, ip, port);
            continue;
        }
        m_devices.append(new WirelessDevice(reply, ip, port, this));
        if (m_curIndex == -1)
            m_curIndex = 0;
    }
}

bool WirelessDeviceManage::_isKnown(const QString& ip) const
{
    for (const QList<WirelessDevice*>* list : {&m_devices, &m_trials}) {
        for (const WirelessDevice* device : *list) {
            if (device->getIp() == ip)
                return true;
        }
    }
    return false;
}

// The list is full: the camera's link is tried outside it. At most as many cameras as the list
// holds are tried at once; the one tried longest gives way to a newer one.
void WirelessDeviceManage::_tryForPlace(const QString& reply, const QString& ip, quint16 port)
{
    if (m_trials.size() >= MaxDevices)
        _refuseTrial(m_trials.first());
    auto* trial = new WirelessDevice(reply, ip, port, this);
    m_trials.append(trial);
    connect(trial, &WirelessDevice::sigLinkSettled, this, [this, trial] { _onTrialSettled(trial); });
}

// A tried camera whose link answered takes a place that a camera whose link never answered holds,
// in the same position of the list (it becomes current when that one was). Others are refused.
void WirelessDeviceManage::_onTrialSettled(WirelessDevice* trial)
{
    const int place = trial->linkState() == WirelessDevice::LinkAnswered ? _placeForAnsweredCamera() : -1;
    if (place < 0) {
        _refuseTrial(trial);
        return;
    }
    m_trials.removeOne(trial);
    trial->disconnect(this);
    WirelessDevice* leaving = m_devices.at(place);
    PAX_LOG_DEBUG("wireless camera %s never answered, its place goes to %s", qPrintable(leaving->getIp()),
                  qPrintable(trial->getIp()));
    m_devices[place] = trial;
    leaving->disconnect();
    leaving->deleteLater();
}

// The camera may be inside its own signals: it is deleted once they have returned.
void WirelessDeviceManage::_refuseTrial(WirelessDevice* trial)
{
    PAX_LOG_ERROR("too many wireless cameras, %s ignored", qPrintable(trial->getIp()));
    m_trials.removeOne(trial);
    trial->disconnect(this);
    trial->deleteLater();
}

// A listed camera that no tile shows and whose link never answered: the first whose link failed,
// else the first still connecting; -1 when every place is held by a camera that answered or is shown.
int WirelessDeviceManage::_placeForAnsweredCamera() const
{
    int connecting = -1;
    for (int i = 0; i < m_devices.size(); ++i) {
        const WirelessDevice* device = m_devices.at(i);
        if (device->linkState() == WirelessDevice::LinkAnswered || _isPaired(device))
            continue;
        if (device->linkState() == WirelessDevice::LinkFailed)
            return i;
        if (connecting < 0)
            connecting = i;
    }
    return connecting;
}

bool WirelessDeviceManage::_isPaired(const WirelessDevice* device) const
{
    for (const DeviceViewPair* pair : m_pairs) {
        if (pair->device == device)
            return true;
    }
    return false;
}

WirelessDevice* WirelessDeviceManage::getCurDevice() const
{
    return m_curIndex >= 0 && m_curIndex < m_devices.size() ? m_devices.at(m_curIndex) : nullptr;
}

QList<WirelessDevice*> WirelessDeviceManage::getIdleDeviceList() const
{
    QList<WirelessDevice*> idle;
    for (int i = 0; i < m_devices.size(); ++i) {
        WirelessDevice* device = m_devices.at(i);
        const bool used = m_viewMode == 1 ? _isPaired(device) : i == m_curIndex;
        if (!used)
            idle.append(device);
    }
    return idle;
}

void WirelessDeviceManage::_unpairAll()
{
    for (DeviceViewPair* pair : qAsConst(m_pairs)) {
        pair->device->disconnect();
        delete pair;
    }
    m_pairs.clear();
}

void WirelessDeviceManage::enterMode(int mode)
{
    if (mode == m_viewMode)
        return;
    _unpairAll();
    m_selectedIndex = -1;
    m_viewMode = m_viewMode == 1 ? 0 : 1;
    for (WirelessDevice* device : qAsConst(m_devices)) {
        device->disconnect();
        device->changeShowMode(WirelessDevice::_ShowModeE(m_viewMode));
    }
}

void WirelessDeviceManage::switchDevice(QString ip)
{
    if (m_viewMode == 1)
        return;
    for (WirelessDevice* device : qAsConst(m_devices)) {
        device->myStop();
        device->disconnect();
    }
    for (int i = 0; i < m_devices.size(); ++i) {
        if (m_devices.at(i)->getDeviceInfo().ip == ip) {
            m_curIndex = i;
            break;
        }
    }
}

void WirelessDeviceManage::_pair(GraphicsViewForWirelessDevice* view, WirelessDevice* device)
{
    connect(device, &WirelessDevice::sigGetOneFrameInside, view, &GraphicsViewForWirelessDevice::showImg,
            Qt::QueuedConnection);
    connect(view, &GraphicsViewForWirelessDevice::sigClose, this, &WirelessDeviceManage::slotClose,
            Qt::UniqueConnection);
    m_pairs.append(new DeviceViewPair{view, device});
    _watchView(view);
    view->createRender();
    device->myPlay();
}

void WirelessDeviceManage::connectAll(QList<GraphicsViewForWirelessDevice*>& views)
{
    if (m_viewMode == 0)
        return;
    _unpairAll();
    for (int i = 0; i < views.size(); ++i) {
        GraphicsViewForWirelessDevice* view = views.at(i);
        connect(view, &GraphicsViewForWirelessDevice::sigSelect, this, &WirelessDeviceManage::slotSelect,
                Qt::UniqueConnection);
        _watchView(view);
        if (i < m_devices.size())
            _pair(view, m_devices.at(i));
    }
}

void WirelessDeviceManage::connectOne(GraphicsViewForWirelessDevice* view, QString ip)
{
    WirelessDevice* found = nullptr;
    for (WirelessDevice* device : qAsConst(m_devices)) {
        if (device->getDeviceInfo().ip == ip) {
            found = device;
            break;
        }
    }
    if (!found) {
        PAX_LOG_DEBUG("not find device[%s]\n", qPrintable(ip));
        return;
    }
    if (_isPaired(found)) {
        PAX_LOG_DEBUG("device[%s] already be used\n", qPrintable(ip));
        return;
    }
    _pair(view, found);
}

bool WirelessDeviceManage::isViewUsed(GraphicsViewForWirelessDevice* view) const
{
    for (const DeviceViewPair* pair : m_pairs) {
        if (pair->view == view)
            return true;
    }
    return false;
}

WirelessDevice* WirelessDeviceManage::getDeviceFromView(GraphicsViewForWirelessDevice* view) const
{
    for (const DeviceViewPair* pair : m_pairs) {
        if (pair->view == view)
            return pair->device;
    }
    return nullptr;
}

void WirelessDeviceManage::slotClose(GraphicsViewForWirelessDevice* pView)
{
    for (int i = 0; i < m_pairs.size(); ++i) {
        DeviceViewPair* pair = m_pairs.at(i);
        if (pair->view != pView)
            continue;
        pair->device->myStop();
        pair->device->disconnect();
        m_pairs.removeAt(i);
        delete pair;
        return;
    }
}

void WirelessDeviceManage::slotSelect(GraphicsViewForWirelessDevice* pView)
{
    m_selectedIndex = -1;
    for (const DeviceViewPair* pair : qAsConst(m_pairs)) {
        if (pair->view == pView && m_devices.contains(pair->device)) {
            m_selectedIndex = m_devices.indexOf(pair->device);
            return;
        }
    }
}

GraphicsViewForWirelessDevice* WirelessDeviceManage::_selectedView() const
{
    if (m_selectedIndex < 0 || m_selectedIndex >= m_devices.size())
        return nullptr;
    const WirelessDevice* device = m_devices.at(m_selectedIndex);
    GraphicsViewForWirelessDevice* view = nullptr;
    for (const DeviceViewPair* pair : m_pairs) {
        if (pair->device == device)
            view = pair->view;
    }
    return view;
}

void WirelessDeviceManage::zoomIn()
{
    if (auto* view = _selectedView())
        view->zoomIn();
}

void WirelessDeviceManage::zoomOut()
{
    if (auto* view = _selectedView())
        view->zoomOut();
}

void WirelessDeviceManage::zoomInOut(int value)
{
    if (auto* view = _selectedView())
        view->zoomInOut(value);
}

void WirelessDeviceManage::slotFitToView()
{
    if (auto* view = _selectedView())
        view->slotFitToView();
}

void WirelessDeviceManage::slot1on1()
{
    if (auto* view = _selectedView())
        view->slot1on1();
}

void WirelessDeviceManage::rotateLeft()
{
    if (auto* view = _selectedView())
        view->rotateLeft();
}

void WirelessDeviceManage::rotateRight()
{
    if (auto* view = _selectedView())
        view->rotateRight();
}

void WirelessDeviceManage::slotRotate(int value)
{
    if (auto* view = _selectedView())
        view->slotRotate(value);
}

void WirelessDeviceManage::_clearDeivceList()
{
    _unpairAll();    // no pair may outlive its device
    for (WirelessDevice* device : qAsConst(m_devices))
        delete device;
    m_devices.clear();
    qDeleteAll(m_trials);
    m_trials.clear();
    m_curIndex = -1;
    m_selectedIndex = -1;
}

// A tile deleted with its layout leaves no pair behind.
void WirelessDeviceManage::_watchView(GraphicsViewForWirelessDevice* view)
{
    connect(view, &QObject::destroyed, this, &WirelessDeviceManage::_forgetView, Qt::UniqueConnection);
}

void WirelessDeviceManage::_forgetView(QObject* view)
{
    for (int i = m_pairs.size() - 1; i >= 0; --i) {
        DeviceViewPair* pair = m_pairs.at(i);
        if (static_cast<QObject*>(pair->view) != view)
            continue;
        pair->device->myStop();
        pair->device->disconnect();
        m_pairs.removeAt(i);
        delete pair;
    }
}

void WirelessDeviceManage::_clearList()
{
    _unpairAll();
}

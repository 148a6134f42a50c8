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
        bool known = false;
        for (WirelessDevice* device : qAsConst(m_devices))
            known = known || device->getIp() == ip;
        if (known)
            continue;
        if (m_devices.size() >= MaxDevices) {
            PAX_LOG_ERROR("too many wireless cameras, %s ignored", qPrintable(ip));
            continue;
        }
        m_devices.append(new WirelessDevice(QString::fromUtf8(bytes), ip, quint16(datagram.senderPort()), this));
        if (m_curIndex == -1)
            m_curIndex = 0;
    }
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
        bool used = false;
        if (m_viewMode == 1) {
            for (const DeviceViewPair* pair : m_pairs)
                used = used || pair->device == device;
        } else {
            used = i == m_curIndex;
        }
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
    for (const DeviceViewPair* pair : qAsConst(m_pairs)) {
        if (pair->device == found) {
            PAX_LOG_DEBUG("device[%s] already be used\n", qPrintable(ip));
            return;
        }
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

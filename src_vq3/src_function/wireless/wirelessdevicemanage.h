#pragma once
// The application's one registry of wireless cameras: discovery over UDP, the device list and the
// current device, and in multi view mode the pairs of tile and device.
//
// GUI thread only.
#include <QList>
#include <QObject>
#include <QStringList>

class GraphicsViewForWirelessDevice;
class QUdpSocket;
class WirelessDevice;

class WirelessDeviceManage : public QObject {
    Q_OBJECT
public:
    static WirelessDeviceManage* getInstance();
    static void releaseInstance();

    // The addresses a discovery is sent to: ORVANE_WIRELESS_TARGETS (comma-separated IPv4 addresses)
    // when set, else the directed broadcast address of every 192.168.n.0/24 network.
    static QStringList discoveryTargets();

    WirelessDevice* getCurDevice() const;
    QList<WirelessDevice*> getDeviceList() const { return m_devices; }
    QList<WirelessDevice*> getIdleDeviceList() const;
    void enterMode(int mode);
    int viewMode() const { return m_viewMode; }
    void switchDevice(QString ip);
    void connectAll(QList<GraphicsViewForWirelessDevice*>& views);
    void connectOne(GraphicsViewForWirelessDevice* view, QString ip);
    bool isViewUsed(GraphicsViewForWirelessDevice* view) const;
    WirelessDevice* getDeviceFromView(GraphicsViewForWirelessDevice* view) const;

public slots:
    // Discovery: sends "CMD_DISCOVER" to every target and waits (running a nested event loop, so
    // other slots run inside it) until the first camera has reported its frame sizes, at most
    // 50 passes of 100 ms. GUI thread only.
    void searchDevice();
    void zoomIn();
    void zoomInOut(int value);
    void zoomOut();
    void slotFitToView();
    void slot1on1();
    void rotateLeft();
    void slotRotate(int value);
    void rotateRight();
    void slotUdpRead();
    void slotClose(GraphicsViewForWirelessDevice* pView);
    void slotSelect(GraphicsViewForWirelessDevice* pView);

private:
    struct DeviceViewPair {
        GraphicsViewForWirelessDevice* view;
        WirelessDevice* device;
    };

    WirelessDeviceManage();
    ~WirelessDeviceManage() override;
    void _clearDeivceList();
    void _clearList();
    void _unpairAll();
    GraphicsViewForWirelessDevice* _selectedView() const;
    void _pair(GraphicsViewForWirelessDevice* view, WirelessDevice* device);
    void _watchView(GraphicsViewForWirelessDevice* view);
    void _forgetView(QObject* view);
    bool _isPaired(const WirelessDevice* device) const;
    bool _isKnown(const QString& ip) const;
    void _tryForPlace(const QString& reply, const QString& ip, quint16 port);
    void _onTrialSettled(WirelessDevice* trial);
    void _refuseTrial(WirelessDevice* trial);
    int _placeForAnsweredCamera() const;

    static WirelessDeviceManage* ms_myWirelessDeviceManage;
    QUdpSocket* m_socket = nullptr;
    QList<WirelessDevice*> m_devices;
    int m_curIndex = -1;
    int m_selectedIndex = -1;
    int m_viewMode = 0;
    QList<DeviceViewPair*> m_pairs;
    // Cameras that answered a discovery while the device list was full: their links are tried
    // outside the list, and one that answers takes the place of a listed camera whose link never did.
    QList<WirelessDevice*> m_trials;
};

#pragma once
// The application's one top-level window: the main live view with the floating drawing,
// extension, function and bottom palettes around it, the modes (presenter, PPT, desktop,
// compare) with their compare views and wireless tiles, camera shots, screen grabs, recording
// control, the UVC preview switch, hardware keys and the orderly exit.
//
// GUI thread only. The camera SDK, the media bridge and the UVC service are reached through
// MainWindowLinks; the screen-record SDK directly.

#include "ltoolbar.h"
#include "paxnotify.h"
#include "paxscreentypes.h"

#include <QList>
#include <QPointer>
#include <QRect>
#include <QWidget>

class GraphicsView;
class GraphicsViewForWirelessDevice;
class MediaControl;
class PushButton;
class QComboBox;
class QGridLayout;
class QHBoxLayout;
class QSlider;
class QVBoxLayout;
class RecordAreaBox;
class RecordDialog;

class MainWindow : public QWidget
{
    Q_OBJECT
public:
    enum WindowMode : int { ModePresenter = 0, ModePpt = 1, ModeDesktop = 2, ModeCompare = 3 };

    MainWindow();
    ~MainWindow() override;

    // Lays out the views and toolbars and checks for a camera. A test hook: with
    // ORVANE_TEST_WIRELESS=1 it first switches to the wireless device mode (the window itself
    // offers no way into it) and logs "test hook: wireless device mode".
    void init();
    static constexpr const char* TestWirelessVariable = "ORVANE_TEST_WIRELESS";

    // Written by the views with their signals blocked (scale x 1,000,000 and degrees).
    QSlider* m_sliderZoom = nullptr;
    QSlider* m_sliderRotate = nullptr;

    // ---- read-only views of the state, for the owner and tests
    int mode() const { return m_mode; }
    int compareViewCount() const { return m_compareViewCount; }
    int wirelessTileCount() const { return m_wirelessTileCount; }
    int normalWindowFlag() const { return m_normalWindow; }
    QRect grabRect() const { return m_grabRect; }
    bool isPipOpen() const { return m_pip; }
    GraphicsView* mainView() const { return m_mainView; }
    const QList<GraphicsView*>& compareViews() const { return m_compareViews; }
    const QList<GraphicsViewForWirelessDevice*>& wirelessTiles() const { return m_wirelessTiles; }
    Ltoolbar* drawToolbar() const { return m_drawToolbar; }
    Ltoolbar* extendToolbar() const { return m_extendToolbar; }
    Ltoolbar* functionToolbar() const { return m_functionToolbar; }
    Ltoolbar* bottomToolbar() const { return m_bottomToolbar; }
    RecordDialog* recordDialog() const { return m_recordDialog; }
    RecordAreaBox* recordAreaBox() const { return m_recordAreaBox; }
    MediaControl* mediaControl() const { return m_mediaControl; }

    // "REC hh:mm:ss" for a recording time, each field at least two digits.
    static QString recordTimeText(int seconds);
    // Columns of the wireless tile grid for a tile count.
    static int tileColumns(int count);
    // The 22x22 stop icon: a red 18x18 square on transparent ground (caller owns it).
    static QPixmap* getStopPix();

signals:
    void sigViewBroadcastNotice(int type);

public slots:
    void slotActive();
    void slotConfig();
    void slotGrab();
    void slotGrabActual();
    void slotRecord();
    void slotPause();
    void slotPpt();
    void slotPlatform();
    void slotDeviceMode();
    void slotDesktop();
    void slotCompare1();
    void slotCompare2();
    void slotCompare3();
    void slotCompare4();
    void slotViewBroadcastNotice(int type);
    void slotPreview();
    void slotRePreview();
    void slotVideoSet();
    void slotPictureLock();
    void slotSel();
    void slotScan();
    void slotFs();
    void slotOcr();
    void slotTesseractOcr();
    void slotHS();
    void slotHD();
    void slotGaoOptionChange(int value);
    void slotComparePicture();
    void slotCompareGrab();
    void slotComparePreview();
    void slotExtendLToolbar();
    void slotHideExtendLToolbar();
    void slotDrawColor();
    void slotDrawColorChanged(int color);
    void slotFillColor();
    void slotFillColorChanged(int color);
    void slotPenWidth();
    void slotEraseWidth();
    void slotPenWidthChanged(int width);
    void slotEraseWidthChanged(int width);
    void slotTransparent();
    void slotTransparentChanged(int transparent);
    void slotPower();
    void slotOpenFolder();
    void slotUpdateSceneMode(int mode, int ioctlMode);
    void slotQuit();
    void slotDelayInit();
    void slotSolutionChange();
    void slotRecordInfo(PaxScreenRecordInfoS info);
    void slotPaxContentChange(_PaxChangeNotifyE cn);
    void _SlotCheckValidDevice();
    void _slotDevicePullout();
    void _slotCompareViewCountChange(int index);
    void _slotUpdateByMode();
    void _UpdateByMode();
    void slotPipClose();
    void slotBacklight(int key);

protected:
    void resizeEvent(QResizeEvent* event) override;
    // A screen recording still running when the window closes is stopped first, so its file is
    // finished and the buttons return to idle.
    void closeEvent(QCloseEvent* event) override;

private:
    // Frame and toolbars.
    void _CreateMainWindowUnit();
    void _CreateToolBar(Ltoolbar::Style style);
    void _CreateMainBottomToolbar();
    void _freshSolutionList();
    // Modes.
    void _SwitchDeviceMode(bool toggle);
    void _getDxDy(int& dx, int& dy);
    void _DeleteCompareObjects();
    void _CreateCompareView(QHBoxLayout* row, int count);
    void _CreateCompareViewForWirelessDevice(QGridLayout* grid, int count);
    // Compare bottom toolbars.
    void _CreateCompareBottomToolbar(int type);
    void _CreateCompareBottomToolbarForWirelessDevice();
    // Recording.
    bool _isRecording();

    // Helpers shared by the Parts' files.
    void _offsets(int& dx, int& dy) const;
    QRect _windowGeometry() const;
    void _clearBottomMembers();
    void _removeBottomToolbar();
    void _runPicker(int row);
    void _runningLook();
    void _idleLook();
    void _stopScreenRecording();
    bool _screenRecordingRuns() const;
    void _offerRecordedFile(const QString& file);
    // "record error" for a recording that ended by itself; with a failed write it says why and
    // where the part recorded is kept. Modal until closed.
    void _recordErrorTip(const QString& file, int writeError);
    void _cameraRecordInfo(bool second);
    void _noDeviceReason(int reason);

    PushButton* m_buttonVideoSet = nullptr;
    Ltoolbar* m_bottomToolbar = nullptr;
    Ltoolbar* m_drawToolbar = nullptr;
    Ltoolbar* m_extendToolbar = nullptr;
    Ltoolbar* m_functionToolbar = nullptr;
    PushButton* m_buttonHide = nullptr;
    PushButton* m_buttonRecord = nullptr;
    PushButton* m_buttonPause = nullptr;
    PushButton* m_buttonZoomIn = nullptr;
    PushButton* m_buttonZoomOut = nullptr;
    PushButton* m_buttonFitView = nullptr;
    PushButton* m_buttonFullSize = nullptr;
    PushButton* m_buttonTurnLeft = nullptr;
    PushButton* m_buttonTurnRight = nullptr;
    PushButton* m_buttonLocalPicture = nullptr;
    PushButton* m_buttonVisualPresenter = nullptr;
    PushButton* m_buttonPictureLock = nullptr;
    PushButton* m_buttonExtension = nullptr;
    PushButton* m_buttonLineColor = nullptr;
    PushButton* m_buttonFillColor = nullptr;
    PushButton* m_buttonRect = nullptr;
    PushButton* m_buttonEllipse = nullptr;
    PushButton* m_buttonTriangle = nullptr;
    PushButton* m_buttonLine = nullptr;
    PushButton* m_buttonText = nullptr;
    PushButton* m_buttonEraser = nullptr;
    PushButton* m_buttonMove = nullptr;
    PushButton* m_buttonBack = nullptr;
    PushButton* m_buttonPresenter = nullptr;
    PushButton* m_buttonDesktop = nullptr;
    PushButton* m_buttonCompare = nullptr;
    QComboBox* m_comboSolution = nullptr;
    QComboBox* m_comboTiles = nullptr;
    GraphicsView* m_mainView = nullptr;
    RecordDialog* m_recordDialog = nullptr;
    RecordAreaBox* m_recordAreaBox = nullptr;
    int m_mode = ModePresenter;
    int m_compareViewCount = 2;
    int m_wirelessTileCount = 2;
    QList<GraphicsView*> m_compareViews;
    QList<GraphicsViewForWirelessDevice*> m_wirelessTiles;
    QHBoxLayout* m_rowLayout1 = nullptr;
    QHBoxLayout* m_rowLayout2 = nullptr;
    QVBoxLayout* m_columnLayout = nullptr;
    QGridLayout* m_tileGrid = nullptr;
    MediaControl* m_mediaControl = nullptr;
    int m_normalWindow = 1;
    QRect m_grabRect;
    bool m_pip = false;
    // The picture-in-picture window while it is open (it lives on the function palette). It uses
    // the media bridge, so it goes before the bridge does.
    QPointer<QObject> m_pipWindow;

    // Set once the first resize event has laid out the current mode.
    bool m_firstResizeDone = false;
    // While a picker popup runs from a button of the extension toolbar, closing that toolbar
    // only hides it; it is deleted once the popup and the button's click have ended.
    bool m_inPicker = false;
    Ltoolbar* m_retiredToolbar = nullptr;
};

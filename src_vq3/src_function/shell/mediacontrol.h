#pragma once
// The media bridge between the views and the picture sources: the camera SDK facade for the USB
// cameras, or the current wireless camera in wireless mode. It puts each live frame into the
// pixmap item a view registered, opens and closes the cameras, saves camera shots from the
// picture on display and lists and switches resolutions.
//
// GUI thread only.
#include "paxnotify.h"
#include "paxsdktypes.h"

#include <QImage>
#include <QObject>
#include <QPixmap>
#include <QSize>
#include <QStringList>

class QGraphicsPixmapItem;

class MediaControl : public QObject {
    Q_OBJECT
public:
    explicit MediaControl(QObject* parent = nullptr);
    ~MediaControl() override;

    void switchWirelessMode(bool toggle);
    bool isWirelessMode() const { return m_wirelessMode; }
    int getCameraStatus() const { return m_cameraStatus; }

    void setRender(QGraphicsPixmapItem* item);
    void setRender1(QGraphicsPixmapItem* item);
    void removeThisRender(QGraphicsPixmapItem* item);
    void openCamera();
    void closeCamera();
    void openCamera1();
    void closeCamera1();
    void switchPreview();
    bool pause();
    bool hasSecondCamera();
    void forceRefresh();
    QStringList getMicList() const { return {}; }

    void setCaptureName(QString name) { m_captureName = name; }
    void setAngle(int angle) { m_angle = angle; }
    // Plays the grab sound when switched on and saves the picture on display.
    void capture();
    void capture_otherCamera(QString name);
    // The picture on display saved to a fresh temporary JPEG for the OCR program; empty when there
    // is none.
    QString getOcrPicFilename();

    QStringList getSolutionList();
    void switchSolution(int index);
    int getSolutionIndex();

    // The last frame sizes shown (-1 x -1 until a frame was shown).
    QSize lastMainSize() const { return m_mainSize; }

signals:
    void imageCaptured(const QImage& image);
    void sig_solutionChange();
    void sig_solutionChangeSecond(int width, int height);
    void sig_devicePullout();

public slots:
    void showImgUsePixmap(const QPixmap& pixmap);
    void showImgSecondUsePixmap(const QPixmap& pixmap);
    void showImgSecond(const QImage& image);
    void showImg(const QImage& image);
    void slotPaxContentChange(_PaxChangeNotifyE notify);
    void slotImageCaptured(const QImage& image);

private:
    void _initByWirelessMode();
    void _destroyAll();
    void _showBlack();
    bool _saveShot(const QImage& image, const QString& name);

    bool m_wirelessMode = false;
    int m_cameraStatus = -1;
    QGraphicsPixmapItem* m_render = nullptr;
    QGraphicsPixmapItem* m_render1 = nullptr;
    int m_open = 0;
    QSize m_mainSize{-1, -1};
    QSize m_secondSize{-1, -1};
    QString m_captureName;
    int m_angle = 0;
    bool m_usbConnected = false;
};

// What a view shows: the live picture through the media bridge, a still picture from a file or,
// in an empty compare view, the two hover buttons that offer both; plus the grab window's drag
// source and the wireless device menu.

#include "drawlinks.h"
#include "drawsettings.h"
#include "graphicsscene.h"
#include "graphicsview.h"

#include <QAction>
#include <QByteArray>
#include <QDataStream>
#include <QDrag>
#include <QDragEnterEvent>
#include <QFileDialog>
#include <QGraphicsPixmapItem>
#include <QMimeData>
#include <QPushButton>

namespace
{
QString chooseWithDialog(QWidget* parent, const QString& title, const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, title, QString(), filter, nullptr, QFileDialog::DontUseNativeDialog);
}

GraphicsView::PictureChooser& pictureChooser()
{
    static GraphicsView::PictureChooser chooser = chooseWithDialog;
    return chooser;
}

const char* const kDragFormat = "application/x-dnditemdata";

QString hoverButtonStyle(const QString& picture)
{
    return QStringLiteral("QPushButton{border-image: url(%1) 1; border: 20;}").arg(picture)
           + QStringLiteral("QPushButton{background-color: rgba(120,127,133,255);}")
           + QStringLiteral("QPushButton:hover{background-color: rgba(129,85,88,255);}");
}
}

void GraphicsView::setPictureChooser(PictureChooser chooser)
{
    pictureChooser() = chooser ? std::move(chooser) : PictureChooser(chooseWithDialog);
}

void GraphicsView::slotPreview(bool refit)
{
    if (m_mode == CompareView) {
        emit sigBroadcastNotice(1);
        _dropPictureItem();
    }
    if (!m_liveItem) {
        m_liveItem = new QGraphicsPixmapItem();
        m_liveItem->setFlag(QGraphicsItem::ItemIsMovable, true);
        m_scene->addItem(m_liveItem);
        m_liveItem->setVisible(true);
        m_liveItem->setPos(0, 0);
        refit = true;
    }
    if (m_media && DrawLinks::mediaLink()) {
        if (m_mode == PipView)
            DrawLinks::mediaLink()->setRender1(m_media, m_liveItem);
        else
            DrawLinks::mediaLink()->setRender(m_media, m_liveItem);
    }
    if (m_mode == CompareView)
        DrawSettings::setCurrentView(this);
    if (refit) {
        if (m_fillMode == FitOnCreate)
            slotFitToView();
        else
            m_liveItem->setPos(0, 0);
    }
    if (m_mode == CompareView)
        _deleteToolbar();
}

void GraphicsView::stopPreview()
{
    if (m_media && DrawLinks::mediaLink())
        DrawLinks::mediaLink()->closeCamera(m_media);
    if (m_liveItem) {
        _dropLiveItem();
        if (m_mode == CompareView)
            _createToolbar();
    }
}

void GraphicsView::slotBroadcastNotice(int notice)
{
    if (notice == 1 && m_mode == CompareView && m_liveItem)
        stopPreview();
}

QPixmap GraphicsView::_loadRotated(const QString& file) const
{
    const QPixmap pixmap(file);
    if (pixmap.isNull() || m_pictureAngle == 0)
        return pixmap;
    return pixmap.transformed(QTransform().rotate(m_pictureAngle), Qt::SmoothTransformation);
}

// Blocks the GUI thread while the chooser runs (the default file dialog waits for the user).
void GraphicsView::slotPicture()
{
    if (m_mode != CompareView)
        return;
    const QString file = pictureChooser()(this, tr("Open a picture"), tr("Images (*.jpg *.bmp *.png *.tif)"));
    if (file.isEmpty())
        return;
    _dropLiveItem();
    _dropPictureItem();
    m_pictureFile = file;
    m_pictureItem = new QGraphicsPixmapItem(_loadRotated(file));
    m_pictureItem->setFlag(QGraphicsItem::ItemIsMovable, true);
    m_scene->addItem(m_pictureItem);
    DrawSettings::setCurrentView(this);
    slotFitToView();
    _deleteToolbar();
}

void GraphicsView::_freshPixmap()
{
    if (m_mode != CompareView || !m_pictureItem || m_pictureFile.isEmpty())
        return;
    m_pictureItem->setPixmap(_loadRotated(m_pictureFile));
}

// Blocks the GUI thread while the grab window is open.
void GraphicsView::slotGrab()
{
    if (m_mode == CompareView)
        emit sigBroadcastNotice(1);
    if (DrawLinks::mediaLink())
        DrawLinks::mediaLink()->runGrabWindow(m_media, parentWidget());
}

void GraphicsView::removeAll()
{
    m_scene->slotRemoveAll();
    _dropLiveItem();
    _dropPictureItem();
}

void GraphicsView::disableButton(bool disabled)
{
    if (m_mode != CompareView)
        return;
    if (m_pictureButton)
        m_pictureButton->setDisabled(disabled);
    if (m_previewButton)
        m_previewButton->setDisabled(disabled);
}

void GraphicsView::_createToolbar()
{
    if (!m_pictureButton) {
        m_pictureButton = new QPushButton(QString(), this);
        m_pictureButton->setObjectName(QStringLiteral("comparePictureButton"));
        m_pictureButton->setStyleSheet(hoverButtonStyle(QStringLiteral(":/myImage/res/load.png")));
        connect(m_pictureButton, &QPushButton::clicked, this, &GraphicsView::slotPicture);
        m_previewButton = new QPushButton(QString(), this);
        m_previewButton->setObjectName(QStringLiteral("comparePreviewButton"));
        m_previewButton->setStyleSheet(hoverButtonStyle(QStringLiteral(":/myImage/res/movie.png")));
        connect(m_previewButton, &QPushButton::clicked, this, [this]() { slotPreview(true); });
    }
    const int x = int((width() - 200) / 2.0), y = int((height() - 100) / 2.0);
    m_pictureButton->setGeometry(x, y, 100, 100);
    m_previewButton->setGeometry(x + 100, y, 100, 100);
    m_pictureButton->show();
    m_previewButton->show();
}

// The buttons may be the sender of the running slot, so they go once control is back in the
// event loop.
void GraphicsView::_deleteToolbar()
{
    if (m_pictureButton) {
        m_pictureButton->hide();
        m_pictureButton->deleteLater();
    }
    if (m_previewButton) {
        m_previewButton->hide();
        m_previewButton->deleteLater();
    }
    m_pictureButton = m_previewButton = nullptr;
}

void GraphicsView::resizeEvent(QResizeEvent* event)
{
    QGraphicsView::resizeEvent(event);
    if (m_mode == CompareView && !m_liveItem && !m_pictureItem)
        _createToolbar();
}

void GraphicsView::dragEnterEvent(QDragEnterEvent* event)
{
    if (m_mode != CompareView) {
        event->ignore();
        return;
    }
    QGraphicsView::dragEnterEvent(event);
    event->acceptProposedAction();
}

void GraphicsView::dropEvent(QDropEvent*)
{
}

// Runs the drag with QDrag::exec, which blocks the GUI thread until the drop or its cancel.
void GraphicsView::slotImageCaptured(const QImage& image)
{
    if (m_dragState != DragRequested || m_dragPixmap)
        return;
    m_dragPixmap = new QPixmap(QPixmap::fromImage(image));
    QByteArray data;
    {
        QDataStream stream(&data, QIODevice::WriteOnly);
        stream << *m_dragPixmap;
    }
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(kDragFormat), data);
    auto* drag = new QDrag(this);
    drag->setMimeData(mime);
    drag->setPixmap(m_dragPixmap->scaled(300, 200, Qt::IgnoreAspectRatio, Qt::FastTransformation));
    drag->setHotSpot(QPoint(150, 200));
    drag->exec(Qt::CopyAction);
}

void GraphicsView::slotDeviceActionTriggered(QAction* action)
{
    if (!action || !DrawLinks::mediaLink())
        return;
    DrawLinks::mediaLink()->playWirelessDevice(m_media, action->data().toString());
}

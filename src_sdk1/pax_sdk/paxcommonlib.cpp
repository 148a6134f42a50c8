#include "paxcommonlib.h"

#include "paxhostsetup.h"
#include "paxlibprivate.h"

#include <QTextCodec>

#include <libyuv.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

PaxCommonLib* PaxCommonLib::s_instance = nullptr;

namespace {
std::atomic<quint64> s_packedFrames{0};
} // namespace

void paxPackRgb(const QImage& picture, std::vector<uint8_t>& out, int& width, int& height)
{
    if (picture.format() == QImage::Format_RGB32 || picture.format() == QImage::Format_ARGB32) {
        // One pass from the 32-bit layout (memory B G R A) into packed R G B rows.
        width = picture.width();
        height = picture.height();
        out.resize(size_t(width) * 3 * size_t(height));
        libyuv::ARGBToRAW(picture.constBits(), int(picture.bytesPerLine()), out.data(), width * 3, width, height);
        ++s_packedFrames;
        return;
    }
    const QImage rgb = picture.convertToFormat(QImage::Format_RGB888);
    width = rgb.width();
    height = rgb.height();
    const size_t row = size_t(width) * 3;
    out.resize(row * size_t(height));
    for (int y = 0; y < height; ++y) {
        std::memcpy(out.data() + row * size_t(y), rgb.constScanLine(y), row);
    }
    ++s_packedFrames;
}

quint64 paxPackedFrameCount()
{
    return s_packedFrames;
}

QString paxBufToString(const _PaxBufS& buf)
{
    return QString::fromLocal8Bit(buf.buf, int(strnlen(buf.buf, sizeof buf.buf)));
}

void paxStringToBuf(const QString& text, _PaxBufS& buf)
{
    const int limit = int(sizeof buf.buf) - 1;
    QByteArray bytes = text.toLocal8Bit();
    if (bytes.size() > limit) {
        // The longest prefix of whole characters that fits.
        int lo = 0;
        int hi = text.size();
        while (lo < hi) {
            const int mid = (lo + hi + 1) / 2;
            if (text.left(mid).toLocal8Bit().size() <= limit) {
                lo = mid;
            } else {
                hi = mid - 1;
            }
        }
        int chars = lo;
        if (chars > 0 && text.at(chars - 1).isHighSurrogate()) {
            --chars;
        }
        bytes = text.left(chars).toLocal8Bit();
    }
    std::memcpy(buf.buf, bytes.constData(), size_t(bytes.size()));
    buf.buf[bytes.size()] = '\0';
}

PaxCommonLib* PaxCommonLib::getInstance()
{
    if (!s_instance) {
        paxAcquireHostApplication();
        paxEnsureSaveRoot();
        s_instance = new PaxCommonLib();
        s_instance->m_d = new PaxLibPrivate(s_instance);
    }
    return s_instance;
}

void PaxCommonLib::releaseInstance()
{
    PaxCommonLib* instance = s_instance;
    if (!instance) {
        return;
    }
    s_instance = nullptr;
    delete instance;
    paxReleaseHostApplication();
}

PaxCommonLib::PaxCommonLib() = default;

PaxCommonLib::~PaxCommonLib()
{
    delete m_d;
}

void PaxCommonLib::registerCallBackFun(ChangeCallback callback) { m_d->setChangeCallback(callback); }
void PaxCommonLib::registerCallBackFun(FrameCallback callback) { m_d->setFrameCallback(callback); }
void PaxCommonLib::registerCallBackFun(GrabCallback callback) { m_d->setGrabCallback(callback); }

bool PaxCommonLib::isCameraInvalid(_PaxCameraIndexE camera) { return m_d->isCameraInvalid(camera); }

int PaxCommonLib::getSolutionList(_SolutionS** out)
{
    if (!out) {
        return 0;
    }
    const QList<_SolutionS> list = m_d->getSolutionList();
    *out = nullptr;
    if (list.isEmpty()) {
        return 0;
    }
    auto* array = static_cast<_SolutionS*>(std::malloc(sizeof(_SolutionS) * size_t(list.size())));
    if (!array) {
        return 0;
    }
    for (int i = 0; i < list.size(); ++i) {
        array[i] = list[i];
    }
    *out = array;
    return list.size();
}

int PaxCommonLib::getSolutionIndex() { return m_d->getSolutionIndex(); }
void PaxCommonLib::switchCamera(_PaxCameraIndexE camera) { m_d->switchCamera(camera, true); }
void PaxCommonLib::openCamera() { m_d->openCamera(); }
void PaxCommonLib::closeCamera() { m_d->closeCamera(); }
void PaxCommonLib::switchSolution(int index) { m_d->switchSolution(index, true); }
void PaxCommonLib::switchColorMode(_PaxColorModeE mode) { m_d->switchColorMode(mode); }
_PaxPicSaveFormatE PaxCommonLib::getPicSaveFormat() { return m_d->getPicSaveFormat(); }
void PaxCommonLib::setPicSaveFormat(_PaxPicSaveFormatE format)
{
    // A format outside jpg..pdf is refused here: the one set before stays.
    if (format < PaxPicSaveFormatJpg || format > PaxPicSaveFormatPdf) {
        return;
    }
    m_d->setPicSaveFormat(format);
}
_PaxPicNameModeE PaxCommonLib::getPicNameMode() { return m_d->getPicNameMode(); }
void PaxCommonLib::setPicNameMode(_PaxPicNameModeE mode) { m_d->setPicNameMode(mode); }
int PaxCommonLib::getPicPressRatio() { return m_d->getPicPressRatio(); }
void PaxCommonLib::setPicPressRatio(int ratio) { m_d->setPicPressRatio(ratio); }
double PaxCommonLib::getInitAngle() { return m_d->getInitAngle(); }
void PaxCommonLib::setInitAngle(double angle) { m_d->setInitAngle(angle); }
void PaxCommonLib::getPicSavePath(_PaxBufS& out) { paxStringToBuf(m_d->getPicSavePath(), out); }
void PaxCommonLib::setPicSavePath(const _PaxBufS& path) { m_d->setPicSavePath(paxBufToString(path)); }
int PaxCommonLib::getNextPicIndex() { return m_d->getNextPicIndex(); }
void PaxCommonLib::setNextPicIndex(int index) { m_d->setNextPicIndex(index); }
void PaxCommonLib::grab() { m_d->grab(); }
void PaxCommonLib::setRectify(bool on) { m_d->setRectify(on); }
void PaxCommonLib::setAutoTrim(bool on) { m_d->setAutoTrim(on); }
void PaxCommonLib::setManuTrim(bool on) { m_d->setManuTrim(on); }
bool PaxCommonLib::getManuTrim() { return m_d->getManuTrim(); }
void PaxCommonLib::setManuTrimMouseLeftKeyPress(_PaxPointS p) { m_d->setManuTrimMouseLeftKeyPress(QPoint(p.x, p.y)); }
void PaxCommonLib::setManuTrimMouseLeftKeyMove(_PaxPointS p) { m_d->setManuTrimMouseLeftKeyMove(QPoint(p.x, p.y)); }
void PaxCommonLib::setManuTrimMouseLeftRelease() { m_d->setManuTrimMouseLeftRelease(); }
void PaxCommonLib::setManuTrimRemoveRect() { m_d->setManuTrimRemoveRect(); }
void PaxCommonLib::setFontFamily(const _PaxBufS&) {}
void PaxCommonLib::setAutoDoc(bool on) { m_d->setAutoDoc(on); }
void PaxCommonLib::setTimeGrabInfo(bool on, unsigned int seconds) { m_d->setTimeGrabInfo(on, seconds); }
void PaxCommonLib::setIntelligent(bool on) { m_d->setIntelligent(on); }
bool PaxCommonLib::getIntelligentInfo(int& count) { return m_d->getIntelligentInfo(count); }
void PaxCommonLib::setScanQrcode(bool on) { m_d->setScanQrcode(on); }

bool PaxCommonLib::getScanQrcode(_PaxBufS& text)
{
    QString value = paxBufToString(text);
    const bool on = m_d->getScanQrcode(value);
    paxStringToBuf(value, text);
    return on;
}

void PaxCommonLib::setPicLogoInfo(const _PaxBufS& file, unsigned char alpha, int x, int y)
{
    m_d->setPicLogoInfo(paxBufToString(file), alpha, x, y);
}

void PaxCommonLib::getPicLogoInfo(_PaxBufS& file, unsigned char& alpha, int& x, int& y)
{
    QString value = paxBufToString(file);
    m_d->getPicLogoInfo(value, alpha, x, y);
    paxStringToBuf(value, file);
}

void PaxCommonLib::setTextLogoInfo(_PaxBufS text, unsigned char alpha, int x, int y, int size, int weight,
                                   _PaxBufS color)
{
    m_d->setTextLogoInfo(paxBufToString(text), alpha, x, y, size, weight, paxBufToString(color));
}

void PaxCommonLib::getTextLogoInfo(_PaxBufS& text, unsigned char& alpha, int& x, int& y, int& size, int& weight,
                                   _PaxBufS& color)
{
    QString t = paxBufToString(text);
    QString c = paxBufToString(color);
    m_d->getTextLogoInfo(t, alpha, x, y, size, weight, c);
    paxStringToBuf(t, text);
    paxStringToBuf(c, color);
}

void PaxCommonLib::initPdf(const _PaxBufS& file) { m_d->initPdf(paxBufToString(file)); }
void PaxCommonLib::addPic(const _PaxBufS& file) { m_d->addPic(paxBufToString(file)); }
void PaxCommonLib::closePdf() { m_d->closePdf(); }
bool PaxCommonLib::isMakingPdf() { return m_d->isMakingPdf(); }

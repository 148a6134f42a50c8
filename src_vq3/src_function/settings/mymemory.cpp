#include "mymemory.h"

#include "paxintool.h"
#include "paxmacos.h"
#include "paxsettingsfile.h"
#include "screengeometry.h"

#include <QAudioDeviceInfo>
#include <QAudioFormat>
#include <QAudioInput>
#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QVariantMap>
#include <QStandardPaths>
#include <QTemporaryFile>

#include <cmath>

namespace {
MyMemory* s_instance = nullptr;
QString s_settingsFolder;
MyMemorySdkLink* s_sdkLink = nullptr;
std::function<QDateTime()> s_clock;

// The settings kept as plain ints, in the order of the key table; save_path, the OCR
// language, the two switches, the microphone volume and the prefix are read on their own.
struct IntKey {
    const char* key;
    int MyMemory::*field;
    int defaultValue;
};

} // namespace

// Private members reached by the key table.
class MyMemoryFriend
{
public:
    static const IntKey* intKeysBeforeOcr(int& count)
    {
        static const IntKey keys[] = {
            {"common/picture_format", &MyMemory::m_pictureFormat, 0},
            {"common/video_format", &MyMemory::m_videoFormat, 0},
            {"common/gaoOption", &MyMemory::m_gaoOption, -1},
            {"common/drawColor", &MyMemory::m_drawColor, MyMemory::ColorRed},
            {"common/fillColor", &MyMemory::m_fillColor, MyMemory::ColorNone},
            {"common/penWidth", &MyMemory::m_penWidth, MyMemory::PenWidth2},
            {"common/transparent", &MyMemory::m_transparent, MyMemory::Transparent5},
            {"common/eraseWidth", &MyMemory::m_eraseWidth, MyMemory::EraseWidth2},
            {"common/language", &MyMemory::m_language, MyMemory::Chinese_Simplified},
        };
        count = int(sizeof(keys) / sizeof(keys[0]));
        return keys;
    }
};

// ---------------------------------------------------------------- life

MyMemory* MyMemory::getInstance()
{
    if (!s_instance)
        s_instance = new MyMemory();
    return s_instance;
}

void MyMemory::releaseInstance()
{
    delete s_instance;
    s_instance = nullptr;
}

void MyMemory::setSavePath(const QString& folder)
{
    s_settingsFolder = folder;
}

QString MyMemory::settingsFolder()
{
    if (!s_settingsFolder.isEmpty())
        return s_settingsFolder;
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
}

QString MyMemory::configFileName()
{
    QString folder = settingsFolder();
    while (folder.endsWith(QLatin1Char('/')) && folder.size() > 1)
        folder.chop(1);
    return folder + QStringLiteral("/config.ini");
}

void MyMemory::setSdkLink(MyMemorySdkLink* link)
{
    s_sdkLink = link;
}

void MyMemory::setClock(std::function<QDateTime()> clock)
{
    s_clock = std::move(clock);
}

QDateTime MyMemory::_now()
{
    return s_clock ? s_clock() : QDateTime::currentDateTime();
}

MyMemory::MyMemory()
    : QObject(nullptr)
{
    m_captureWidth = -1;
    m_captureHeight = -1;
    _readAll();

    const QRect available = ScreenGeometry::availableRect();
    qCritical() << "come here ----QApplication::desktop()->availableGeometry:" << available;
    qCritical().noquote() << "come here ----QCoreApplication::testAttribute:"
                          << QString::fromLatin1("%1,%2")
                                 .arg(QCoreApplication::testAttribute(Qt::AA_EnableHighDpiScaling) ? "true" : "false",
                                      QCoreApplication::testAttribute(Qt::AA_Use96Dpi) ? "true" : "false");
    _computeUiMetrics();
}

// A folder where the file should be is left alone: nothing is read from it or written to it,
// and the settings of this run are held in memory only.
bool MyMemory::_configFileIsFolder() const
{
    const QString path = configFileName();
    if (!QFileInfo(path).isDir())
        return false;
    if (!m_folderLogged) {
        m_folderLogged = true;
        PAX_LOG_ERROR("settings file %s is a folder: it is left alone, settings are not kept after this run",
                      qPrintable(path));
    }
    return true;
}

// A file that does not parse is set aside under a numbered ".damaged" name and a new one is
// written with every value that could still be read.
void MyMemory::_setAsideDamagedFile()
{
    const QString path = configFileName();
    paxsettings::dropByteOrderMark(path);
    QVariantMap readable;
    {
        QSettings settings(path, QSettings::IniFormat);
        const QStringList keys = settings.allKeys();   // the parse status is known only after a full read
        if (settings.status() != QSettings::FormatError)
            return;
        for (const QString& key : keys)
            readable.insert(key, settings.value(key));
    }
    const QString setAside = paxsettings::setAsideName(path);
    if (!QFile::rename(path, setAside)) {
        PAX_LOG_ERROR("settings file %s is damaged and cannot be set aside", qPrintable(path));
        return;
    }
    PAX_LOG_ERROR("settings file %s is damaged: kept as %s, the values still readable are kept",
                  qPrintable(path), qPrintable(setAside));
    QSettings fresh(path, QSettings::IniFormat);
    for (auto it = readable.cbegin(); it != readable.cend(); ++it)
        fresh.setValue(it.key(), it.value());
    fresh.sync();
}

void MyMemory::_readAll()
{
    if (!_configFileIsFolder())
        _setAsideDamagedFile();
    QSettings settings(configFileName(), QSettings::IniFormat);

    // An empty, relative or plain-file save folder counts as missing.
    const QVariant savePath = settings.value(QStringLiteral("common/save_path"));
    if (savePath.isNull() || !paxsettings::usableFolder(savePath)) {
        if (!savePath.isNull())
            PAX_LOG_ERROR("save_path[%s] is not a usable folder, the default is used",
                          qPrintable(savePath.toString()));
        const QString folder = defaultSaveFolder();
        setConfigSavePath(folder);
        if (s_sdkLink) {
            s_sdkLink->setVideoMainSavePath(folder);
            s_sdkLink->setVideoSecondSavePath(folder);
        }
    } else {
        m_savePath = savePath.toString();
    }

    int count = 0;
    const IntKey* keys = MyMemoryFriend::intKeysBeforeOcr(count);
    for (int i = 0; i < count; ++i)
        this->*(keys[i].field) = settings.value(QLatin1String(keys[i].key), keys[i].defaultValue).toInt();

    int ocrDefault = 0;
    const QVector<MyTesseractLanguageOption> ocr = getTesseractLanguageOptionList();
    for (int i = 0; i < ocr.size(); ++i) {
        if (ocr[i].displayName == QCoreApplication::translate("MyMemory", "Chinese (Simplified)")) {
            ocrDefault = i;
            break;
        }
    }
    m_tesseractLanguage = settings.value(QStringLiteral("common/tesseractLanguage"), ocrDefault).toInt();
    m_grabTipAudio = settings.value(QStringLiteral("common/grabTipAudio"), true).toBool();
    m_uvcControl = settings.value(QStringLiteral("common/uvcControl"), false).toBool();

    m_micVolumn = -1;
    const int volume = settings.value(QStringLiteral("common/micVolumn"), 100).toInt();
    setMicVolumn(volume);   // held value -1: applied, and written (so an absent key appears)

    m_recordType = settings.value(QStringLiteral("common/recordType"), int(RecordScreen)).toInt();
    if (m_recordType < RecordScreen || m_recordType > RecordSecondCamera) {
        // A hand-edited or damaged value: the screen is recorded, and that is stored.
        PAX_LOG_ERROR("recordType[%d] is not a record type (0 to 2), 0 is used", m_recordType);
        setRecordType(RecordScreen);
    }
    m_screenRecordPrefix = settings.value(QStringLiteral("common/screenRecordPrefix"), QStringLiteral("screen")).toString();
    if (m_screenRecordPrefix.contains(QLatin1Char('/'))) {
        // Hand-edited: a folder separator would put recordings outside the save folder.
        PAX_LOG_ERROR("screenRecordPrefix[%s] holds a folder separator, \"screen\" is used",
                      qPrintable(m_screenRecordPrefix));
        setScreenRecordPrefix(QStringLiteral("screen"));
    }
}

void MyMemory::_computeUiMetrics()
{
    const int h = ScreenGeometry::availableRect().height();
    const bool scaled = h > 1024;
    auto scale = [&](int v) { return scaled ? v * h / 1024 : v; };

    bottomMargin = (!scaled && isGEMacos(15)) ? 12 : 0;
    toolbarWidth = scale(50);
    wideToolbarWidth = scale(140);
    toolbarHeight = scale(50) + bottomMargin;
    toolButtonSize = QSize(scale(50), scale(50));
    wideButtonSize = QSize(scale(140), scale(32));
    bottomButtonSize = QSize(scale(50), scale(50));
    tipSize = QSize(scale(80), scale(50));
    comboSize = QSizeF(scale(150), scale(30));
    sliderSize = QSizeF(scale(120), scale(20));
    _computeButtonFontSize();
    const double dpi = ScreenGeometry::logicalDpi();
    appFontPointSize = int(std::trunc(12.0 * h / (1024.0 * dpi / 96.0)));
}

void MyMemory::_computeButtonFontSize()
{
    const int h = ScreenGeometry::availableRect().height();
    if (h <= 1024) {
        buttonFontSize = 15;
        return;
    }
    const double dpi = ScreenGeometry::logicalDpi();
    buttonFontSize = int(std::trunc(15.0 * h / (1024.0 * dpi / 96.0)));
}

void MyMemory::_writeKey(const char* key, const QVariant& value) const
{
    if (_configFileIsFolder())
        return;
    QSettings settings(configFileName(), QSettings::IniFormat);
    settings.setValue(QLatin1String(key), value);
    settings.sync();
}

// ---------------------------------------------------------------- setters

#define MYMEMORY_STORE(field, value, key)  \
    do {                                   \
        if ((field) == (value))            \
            return;                        \
        (field) = (value);                 \
        _writeKey((key), (field));         \
    } while (0)

void MyMemory::setConfigSavePath(const QString& folder)
{
    if (m_savePath == folder)
        return;
    m_savePath = folder;
    if (s_sdkLink) {
        s_sdkLink->setVideoMainSavePath(folder);
        s_sdkLink->setVideoSecondSavePath(folder);
    }
    _writeKey("common/save_path", m_savePath);
}

void MyMemory::setConfigPictureFormat(int format) { MYMEMORY_STORE(m_pictureFormat, format, "common/picture_format"); }
void MyMemory::setConfigVideoFormat(int format) { MYMEMORY_STORE(m_videoFormat, format, "common/video_format"); }
void MyMemory::setConfigGaoOption(int option) { MYMEMORY_STORE(m_gaoOption, option, "common/gaoOption"); }
void MyMemory::setConfigDrawColor(Color color) { MYMEMORY_STORE(m_drawColor, int(color), "common/drawColor"); }
void MyMemory::setConfigFillColor(Color color) { MYMEMORY_STORE(m_fillColor, int(color), "common/fillColor"); }
void MyMemory::setConfigPenWidth(PenWidth width) { MYMEMORY_STORE(m_penWidth, int(width), "common/penWidth"); }
void MyMemory::setConfigEraseWidth(EraseWidth width) { MYMEMORY_STORE(m_eraseWidth, int(width), "common/eraseWidth"); }
void MyMemory::setConfitTransparent(MyTransparent t) { MYMEMORY_STORE(m_transparent, int(t), "common/transparent"); }
void MyMemory::setConfigCurTesseractLanguage(int index) { MYMEMORY_STORE(m_tesseractLanguage, index, "common/tesseractLanguage"); }
void MyMemory::setConfigGrabTipAudio(bool on) { MYMEMORY_STORE(m_grabTipAudio, on, "common/grabTipAudio"); }
void MyMemory::setConfigUvcControl(bool on) { MYMEMORY_STORE(m_uvcControl, on, "common/uvcControl"); }
void MyMemory::setRecordType(MyRecordType type) { MYMEMORY_STORE(m_recordType, int(type), "common/recordType"); }
void MyMemory::setScreenRecordPrefix(const QString& prefix) { MYMEMORY_STORE(m_screenRecordPrefix, prefix, "common/screenRecordPrefix"); }

#undef MYMEMORY_STORE

void MyMemory::setConfigCurLanguage(Language language)
{
    if (m_language == int(language))
        return;
    m_language = int(language);
    _writeKey("common/language", m_language);
    _computeButtonFontSize();
}

void MyMemory::setMicVolumn(int volume)
{
    if (m_micVolumn == volume)
        return;
    m_micVolumn = volume;
    _writeKey("common/micVolumn", m_micVolumn);
    _applyMicVolumn(volume);
}

void MyMemory::_applyMicVolumn(int volume) const
{
    const QList<QAudioDeviceInfo> devices = QAudioDeviceInfo::availableDevices(QAudio::AudioInput);
    if (devices.isEmpty())
        return;
    QAudioInput input(devices.first(), QAudioFormat());
    input.setVolume(volume / 100.0);
    input.stop();
}

// ---------------------------------------------------------------- tables

QColor MyMemory::colorByValue(int color, int transparent)
{
    if (color == ColorNone)
        return QColor(0, 0, 0, 0);
    const int alpha = transparentByValue(transparent);
    switch (color) {
    case ColorBlack: return QColor(0, 0, 0, alpha);
    case ColorWhite: return QColor(255, 255, 255, alpha);
    case ColorBlue: return QColor(0, 0, 255, alpha);
    case ColorYellow: return QColor(255, 255, 0, alpha);
    default: return QColor(255, 0, 0, alpha);   // red and any other value
    }
}

namespace {
// Rows 1..5 of the width and alpha tables; index 0 holds the value of any other setting.
int tableRow(const int (&row)[6], int value)
{
    return (value >= 1 && value <= 5) ? row[value] : row[0];
}
const int kPenWidths[6] = {2, 4, 6, 10, 20, 30};
const int kEraseWidths[6] = {10, 16, 30, 48, 60, 80};
const int kAlphas[6] = {12, 63, 115, 166, 216, 255};

struct PictureFormat {
    const char* suffix;
    const char* name;
};
const PictureFormat kPictureFormats[] = {
    {"jpg", "mjpeg"}, {"bmp", "bmp"}, {"png", "png"}, {"tif", "tiff"}, {"gif", "gif"}, {"tga", "targa"},
};
const int kPictureFormatCount = int(sizeof(kPictureFormats) / sizeof(kPictureFormats[0]));
} // namespace

int MyMemory::penWidthByValue(int width) { return tableRow(kPenWidths, width); }
int MyMemory::eraseWidthByValue(int width) { return tableRow(kEraseWidths, width); }
int MyMemory::transparentByValue(int transparent) { return tableRow(kAlphas, transparent); }

QString MyMemory::pictureSuffixByValue(int format)
{
    const PictureFormat& f = kPictureFormats[(format >= 0 && format < kPictureFormatCount) ? format : 0];
    return QLatin1String(f.suffix);
}

QString MyMemory::pictureFormatNameByValue(int format)
{
    const PictureFormat& f = kPictureFormats[(format >= 0 && format < kPictureFormatCount) ? format : 0];
    return QLatin1String(f.name);
}

QString MyMemory::videoSuffixByValue(int format)
{
    return format == 1 ? QStringLiteral("mkv") : QStringLiteral("mp4");
}

QString MyMemory::convertPictureFormatSuffixToFormatName(const QString& suffix)
{
    for (const PictureFormat& f : kPictureFormats) {
        if (suffix == QLatin1String(f.suffix))
            return QLatin1String(f.name);
    }
    return suffix;
}

QColor MyMemory::getDrawColorByQt() const { return colorByValue(m_drawColor, m_transparent); }
QColor MyMemory::getFillColorByQt() const { return colorByValue(m_fillColor, m_transparent); }
int MyMemory::getPenWidthByInt() const { return penWidthByValue(m_penWidth); }
int MyMemory::getEraseWidthByInt() const { return eraseWidthByValue(m_eraseWidth); }
int MyMemory::getTransparentByInt() const { return transparentByValue(m_transparent); }
QString MyMemory::getConfigPictureFormatSuffix() const { return pictureSuffixByValue(m_pictureFormat); }
QString MyMemory::getConfigPictureFormatName() const { return pictureFormatNameByValue(m_pictureFormat); }
QString MyMemory::getConfigVideoFormatSuffix() const { return videoSuffixByValue(m_videoFormat); }

QString MyMemory::getCurLanguageSuffix() const
{
    return m_language == Chinese_Simplified ? QStringLiteral("zh") : QString();
}

MyTesseractLanguageOption MyMemory::getCurTesseractLanguageOption() const
{
    const QVector<MyTesseractLanguageOption> options = getTesseractLanguageOptionList();
    if (m_tesseractLanguage >= 0 && m_tesseractLanguage < options.size())
        return options.at(m_tesseractLanguage);
    return options.first();
}

// ---------------------------------------------------------------- option lists

QStringList MyMemory::getPictureFormatOptionList()
{
    static const QStringList list{QStringLiteral("JPG"), QStringLiteral("BMP"), QStringLiteral("PNG")};
    return list;
}

QStringList MyMemory::getVideoFormatOptionList()
{
    static const QStringList list{QStringLiteral("MP4"), QStringLiteral("MKV")};
    return list;
}

QStringList MyMemory::getLanguageOptionList()
{
    static const QStringList list{QCoreApplication::translate("MyMemory", "Chinese_Simplified")};
    return list;
}

QVector<MyTesseractLanguageOption> MyMemory::getTesseractLanguageOptionList()
{
    MyTesseractLanguageOption chinese;
    chinese.displayName = QCoreApplication::translate("MyMemory", "Chinese (Simplified)");
    chinese.language = QStringLiteral("chi_sim");
    chinese.oem = 1;
    return {chinese};
}

// ---------------------------------------------------------------- registries

void MyMemory::savePtr(const QString& key, void* ptr) { m_ptrs.insert(key, ptr); }
void* MyMemory::getPtr(const QString& key) { return m_ptrs[key]; }
void MyMemory::saveInt(const QString& key, int value) { m_ints.insert(key, value); }
int MyMemory::getInt(const QString& key) { return m_ints[key]; }

// ---------------------------------------------------------------- capture mapping

int MyMemory::getCaptureX(int x) const
{
    const int screenWidth = ScreenGeometry::screenWidth();
    if (m_captureWidth < 1 || screenWidth < 1)
        return x;
    return x * m_captureWidth / screenWidth;
}

int MyMemory::getCaptureY(int y) const
{
    const int screenHeight = ScreenGeometry::screenHeight();
    if (m_captureHeight < 1 || screenHeight < 1)
        return y;
    return y * m_captureHeight / screenHeight;
}

// ---------------------------------------------------------------- presence of camera keys

void MyMemory::init()
{
    QSettings settings(configFileName(), QSettings::IniFormat);
    m_hasContrast = settings.contains(QStringLiteral("common/contrast"));
    m_hasSaturation = settings.contains(QStringLiteral("common/saturation"));
    m_hasSharpness = settings.contains(QStringLiteral("common/sharpness"));
    m_hasGain = settings.contains(QStringLiteral("common/gain"));
    m_hasExposureAuto = settings.contains(QStringLiteral("common/exposureAuto"));
    m_hasExposureValue = settings.contains(QStringLiteral("common/exposureValue"));
}

// The values themselves are never held: 0 is returned with the presence flag.
int MyMemory::getConfigContrast(bool& present) const { present = m_hasContrast; return 0; }
int MyMemory::getConfigSaturation(bool& present) const { present = m_hasSaturation; return 0; }
int MyMemory::getConfigSharpness(bool& present) const { present = m_hasSharpness; return 0; }
int MyMemory::getConfigGain(bool& present) const { present = m_hasGain; return 0; }
int MyMemory::getConfigExposure(bool& present) const { present = m_hasExposureValue; return 0; }
int MyMemory::getConfigExposureAuto(bool& present) const { present = m_hasExposureAuto; return 0; }

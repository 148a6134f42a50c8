#pragma once
// The application's own settings (config.ini in the settings folder), the drawing-setting
// tables the canvas and the pickers map through, the UI metrics the windows are laid out with,
// the dated names of pictures and recordings, and a registry of named object pointers.
//
// GUI thread only, no locks. The file-name functions may be called from other threads once
// the singleton exists.

#include <QColor>
#include <QDateTime>
#include <QHash>
#include <QMutex>
#include <QObject>
#include <QSet>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QVector>

#include <functional>

// What the settings hand to the camera SDK: the video save folder of both cameras. The
// application start-up plugs the camera SDK facade in; without a link nothing is handed on.
class MyMemorySdkLink
{
public:
    virtual ~MyMemorySdkLink() = default;
    virtual void setVideoMainSavePath(const QString& folder) = 0;
    virtual void setVideoSecondSavePath(const QString& folder) = 0;
};

// One OCR language choice.
struct MyTesseractLanguageOption {
    QString displayName;   // translated "Chinese (Simplified)"
    QString language;      // tesseract language code, "chi_sim"
    int oem = 1;           // OCR engine mode
};

class MyMemory : public QObject
{
    Q_OBJECT
public:
    // Values outside the named ones are kept as they are and mapped by the tables' last rows.
    enum Color : int { ColorNone = 0, ColorBlack = 1, ColorWhite = 2, ColorRed = 3, ColorBlue = 4, ColorYellow = 5 };
    enum PenWidth : int { PenWidth0 = 0, PenWidth1, PenWidth2, PenWidth3, PenWidth4, PenWidth5 };
    enum EraseWidth : int { EraseWidth0 = 0, EraseWidth1, EraseWidth2, EraseWidth3, EraseWidth4, EraseWidth5 };
    enum MyTransparent : int { Transparent0 = 0, Transparent1, Transparent2, Transparent3, Transparent4, Transparent5 };
    enum MyRecordType : int { RecordScreen = 0, RecordMainCamera = 1, RecordSecondCamera = 2 };
    enum Language : int { Chinese_Simplified = 0 };

    static MyMemory* getInstance();
    static void releaseInstance();
    // Settings folder; set before the first getInstance().
    static void setSavePath(const QString& folder);
    static QString settingsFolder();
    // The file the settings live in: settings folder + "/config.ini".
    static QString configFileName();

    // The camera SDK the video save folder is handed to (not owned; null for none).
    static void setSdkLink(MyMemorySdkLink* link);
    // Clock of the file names; the local current time when not set (tests inject one).
    static void setClock(std::function<QDateTime()> clock);

    // ---- setters: an equal value writes nothing, another is stored and written at once
    void setConfigSavePath(const QString& folder);
    void setConfigPictureFormat(int format);
    void setConfigVideoFormat(int format);
    void setConfigGaoOption(int option);
    void setConfigDrawColor(MyMemory::Color color);
    void setConfigFillColor(MyMemory::Color color);
    void setConfigPenWidth(MyMemory::PenWidth width);
    void setConfigEraseWidth(MyMemory::EraseWidth width);
    void setConfitTransparent(MyMemory::MyTransparent transparent);
    void setConfigCurLanguage(MyMemory::Language language);
    void setConfigCurTesseractLanguage(int index);
    void setConfigGrabTipAudio(bool on);
    void setConfigUvcControl(bool on);
    void setMicVolumn(int volume);
    void setRecordType(MyMemory::MyRecordType type);
    void setScreenRecordPrefix(const QString& prefix);

    // ---- getters
    QString getConfigSavePath() const { return m_savePath; }
    int getConfigPictureFormat() const { return m_pictureFormat; }
    int getConfigVideoFormat() const { return m_videoFormat; }
    int getConfigGaoOption() const { return m_gaoOption; }
    MyMemory::Color getDrawColor() const { return Color(m_drawColor); }
    MyMemory::Color getFillColor() const { return Color(m_fillColor); }
    MyMemory::PenWidth getPenWidth() const { return PenWidth(m_penWidth); }
    MyMemory::EraseWidth getEraseWidth() const { return EraseWidth(m_eraseWidth); }
    MyMemory::MyTransparent getTransparent() const { return MyTransparent(m_transparent); }
    MyMemory::Language getCurLanguage() const { return Language(m_language); }
    int getCurTesseractLanguageIndex() const { return m_tesseractLanguage; }
    bool getConfigGrabTipAudio() const { return m_grabTipAudio; }
    bool getConfigUvcControl() const { return m_uvcControl; }
    int getMicVolumn() const { return m_micVolumn; }
    MyMemory::MyRecordType getRecordType() const { return MyRecordType(m_recordType); }
    QString getScreenRecordPrefix() const { return m_screenRecordPrefix; }
    int getCaptureWidth() const { return m_captureWidth; }
    int getCaptureHeight() const { return m_captureHeight; }

    // ---- mapped getters
    QColor getDrawColorByQt() const;
    QColor getFillColorByQt() const;
    int getPenWidthByInt() const;
    int getEraseWidthByInt() const;
    int getTransparentByInt() const;
    QString getConfigPictureFormatSuffix() const;
    QString getConfigPictureFormatName() const;
    QString getConfigVideoFormatSuffix() const;
    static QString convertPictureFormatSuffixToFormatName(const QString& suffix);
    QString getCurLanguageSuffix() const;
    // The OCR option at the held index; the first option when the index is outside the list.
    MyTesseractLanguageOption getCurTesseractLanguageOption() const;

    // The tables themselves, for any value.
    static QColor colorByValue(int color, int transparent);
    static int penWidthByValue(int width);
    static int eraseWidthByValue(int width);
    static int transparentByValue(int transparent);
    static QString pictureSuffixByValue(int format);
    static QString pictureFormatNameByValue(int format);
    static QString videoSuffixByValue(int format);

    // ---- option lists
    static QStringList getPictureFormatOptionList();
    static QStringList getVideoFormatOptionList();
    static QStringList getLanguageOptionList();
    static QVector<MyTesseractLanguageOption> getTesseractLanguageOptionList();

    // ---- file names (each creates the singleton when needed)
    // save folder + "/" + "yyyy_MM_dd" + "/"; the folder is created when missing.
    static QString getSavePath();
    // Day folder + "yyyyMMdd_HHmmss" + "." + picture suffix. A name already taken (a file
    // on disk or a name handed out before) gets "_1", "_2", ... before the suffix.
    static QString getNextPictureName();
    // Day folder + prefix + "_yyyy_MM_dd_HHmmss" + ".mp4", numbered like picture names.
    static QString getNextVideoName();
    // Day folder + "record" + "yyyyMMddHHmmss" + "." + video suffix; video and audio receive
    // the stem + "v." + suffix and the stem + "a.wav".
    static QString getNextVideoName1(QString& video, QString& audio);
    // `path` with the suffix of its file name (never a dot of a folder) replaced by `suffix`;
    // a file name without a dot gets "." + suffix appended.
    static QString replaceFileSuffix(const QString& path, const QString& suffix);

    // ---- registries; a key never saved yields null (or 0) and is entered with that value
    void savePtr(const QString& key, void* ptr);
    void* getPtr(const QString& key);
    void saveInt(const QString& key, int value);
    int getInt(const QString& key);

    // ---- capture mapping
    int getCaptureX(int x) const;
    int getCaptureY(int y) const;
    void setCaptureWidth(int width) { m_captureWidth = width; }
    void setCaptureHeight(int height) { m_captureHeight = height; }

    // ---- camera picture keys: only their presence is recorded, by init()
    void init();
    int getConfigContrast(bool& present) const;
    int getConfigSaturation(bool& present) const;
    int getConfigSharpness(bool& present) const;
    int getConfigGain(bool& present) const;
    int getConfigExposure(bool& present) const;
    int getConfigExposureAuto(bool& present) const;
    void setConfigContrast(int) {}
    void setConfigContrastDefault() {}
    void setConfigSaturation(int) {}
    void setConfigSaturationDefault() {}
    void setConfigSharpness(int) {}
    void setConfigSharpnessDefault() {}
    void setConfigGain(int) {}
    void setConfigGainDefault() {}
    void setConfigExposure(int) {}
    void setConfigExposureDefault() {}
    void setConfigExposureAuto(bool) {}
    void setConfigExposureAutoDefault() {}
    void setConfigExposureForce() {}

    // The default save folder: Documents + "/Orvane", or the first of "Orvane0", "Orvane1", ...
    // that is a writable folder or can be created; with a trailing "/".
    static QString defaultSaveFolder();

    // ---- UI metrics, computed once at construction from the available screen height H
    int toolbarWidth = 50;
    int wideToolbarWidth = 140;
    int toolbarHeight = 50;
    int bottomMargin = 0;
    QSize toolButtonSize{50, 50};
    QSize wideButtonSize{140, 32};
    QSize bottomButtonSize{50, 50};
    QSize tipSize{80, 50};
    QSizeF comboSize{150.0, 30.0};
    QSizeF sliderSize{120.0, 20.0};
    int buttonFontSize = 15;
    int appFontPointSize = 12;

private:
    MyMemory();
    ~MyMemory() override = default;

    bool _configFileIsFolder() const;
    void _setAsideDamagedFile();
    void _readAll();
    void _computeUiMetrics();
    void _computeButtonFontSize();
    void _writeKey(const char* key, const QVariant& value) const;
    void _applyMicVolumn(int volume) const;
    QString _takeUniqueName(const QString& stem, const QString& suffix);
    static QDateTime _now();
    QString _dayFolder(const QDateTime& when) const;

    QString m_savePath;
    int m_pictureFormat = 0;
    int m_videoFormat = 0;
    int m_gaoOption = -1;
    int m_drawColor = ColorRed;
    int m_fillColor = ColorNone;
    int m_penWidth = PenWidth2;
    int m_transparent = Transparent5;
    int m_eraseWidth = EraseWidth2;
    int m_language = Chinese_Simplified;
    int m_tesseractLanguage = 0;
    bool m_grabTipAudio = true;
    bool m_uvcControl = false;
    int m_micVolumn = -1;
    int m_recordType = RecordScreen;
    QString m_screenRecordPrefix = QStringLiteral("screen");

    int m_captureWidth = -1;
    int m_captureHeight = -1;

    mutable bool m_folderLogged = false;   // config.ini is a folder, said once

    bool m_hasContrast = false;
    bool m_hasSaturation = false;
    bool m_hasSharpness = false;
    bool m_hasGain = false;
    bool m_hasExposureAuto = false;
    bool m_hasExposureValue = false;

    QHash<QString, void*> m_ptrs;
    QHash<QString, int> m_ints;

    // Names handed out in the current second, so two calls in one second never share a name.
    QMutex m_nameMutex;
    QString m_issuedSecond;
    QSet<QString> m_issuedNames;

    friend class MyMemoryFriend;
};

#pragma once
// Style sheets and fonts of the application's dialogs (dark theme), and the UI type read
// from the application folder's "Nodrel/config.ini".
//
// GUI thread only.

#include <QFont>
#include <QList>
#include <QObject>
#include <QSize>
#include <QString>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

enum _MY_UI : int {
    MY_UI_FLAT = 1,
    MY_UI_3D = 2,
    MY_UI_CUSTOM1 = 3,
    MY_UI_CUSTOM2 = 4,
    MY_UI_CUSTOM3 = 5,
};

struct _MyUiInfoS {
    _MY_UI type;
    QString name;
};

class MyUiSelect : public QObject
{
    Q_OBJECT
public:
    static MyUiSelect* getInstance();
    static void releaseInstance();
    // The UI-type file: application folder + "/Nodrel/config.ini".
    static QString uiTypeFileName();

    // Each replaces the widget's style sheet with the one of its kind and sets the widget font.
    static void setLabelStyle(QLabel* label);
    static void setEditStyle(QLineEdit* edit);
    static void setButtonStyle(QPushButton* button);
    static void setComboBoxStyle(QComboBox* box);
    static void setCheckBoxStyle(QCheckBox* box);
    static void setRadioButtonStyle(QRadioButton* button);

    QList<_MyUiInfoS> getUiInfoList() const;
    _MY_UI getCurUiType() const { return m_curUiType; }
    void switchCurUiType(_MY_UI type);

    // Applied by the setters and the dialogs.
    QString dialogStyle;
    QString labelStyle;
    QString editStyle;
    QString buttonStyle;
    QString comboBoxStyle;
    QString checkBoxStyle;
    QString radioButtonStyle;
    QString fontFamily;
    QFont widgetFont;

    // Built as well, applied by nothing.
    QString borderRadiusStyle;
    QString lightEditStyle;
    QString lightEditStyle2;
    QString plainTextEditStyle;
    QString sliderStyle;
    QString toolTipStyle;
    QString lightComboBoxStyle;
    QFont titleFont;
    QSize dialogButtonSize;
    QSize dialogEditSize;
    QSize dialogLabelSize;
    // Members that depend on the UI type.
    QString backgroundImage;
    int titleFontSize = 18;
    QString titleColor;
    QString titleFontWeight;
    QString dockWidgetTitleStyle;

private:
    MyUiSelect();
    ~MyUiSelect() override = default;
    void _init();
    void _initByCurUiType();
    int _scaled(int size) const;

    QSize m_referenceScreen;
    double m_scaleX = 1.0;
    double m_scaleY = 1.0;
    _MY_UI m_curUiType = MY_UI_CUSTOM3;
};

// A local TCP client of the presenter server (127.0.0.1:10080). Nothing in the application
// creates it; it connects only when getInstance() is called.
class QTcpSocket;
class MyTcpClient : public QObject
{
    Q_OBJECT
public:
    static MyTcpClient* getInstance();
    static void releaseInstance();
    // Polls every 200 ms (processing events) until connected, then waits 1000 ms more.
    // Blocks the calling thread without a bound while no server answers.
    void waitForConnected();
    bool isConnected() const { return m_connected; }
    QString _getHostIp() const;

private slots:
    void slotTcpConnected();
    void slotTcpDisconnected();

private:
    MyTcpClient();
    ~MyTcpClient() override;

    QTcpSocket* m_socket = nullptr;
    QString m_host;
    quint16 m_port = 10080;
    bool m_connected = false;
};

<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>AboutDialog</name>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>CameraRecordDialog</name>
    <message>
        <source>Record audio</source>
        <translation>录制声音</translation>
    </message>
    <message>
        <source>Volume</source>
        <translation>音量</translation>
    </message>
    <message>
        <source>Microphone volumn</source>
        <translation>麦克风音量</translation>
    </message>
    <message>
        <source>Microphone</source>
        <translation>麦克风</translation>
    </message>
    <message>
        <source>Use hardware encoder</source>
        <translation>使用硬件编码</translation>
    </message>
    <message>
        <source>Record quality</source>
        <translation>录像质量</translation>
    </message>
    <message>
        <source>Bitrate Value</source>
        <translation>码率</translation>
    </message>
    <message>
        <source>Invalid</source>
        <translation>无效</translation>
    </message>
    <message>
        <source>Bitrate Type</source>
        <translation>码率类型</translation>
    </message>
    <message>
        <source>CBR</source>
        <translation>CBR</translation>
    </message>
    <message>
        <source>VBR</source>
        <translation>VBR</translation>
    </message>
    <message>
        <source>ABR</source>
        <translation>ABR</translation>
    </message>
    <message>
        <source>CFR</source>
        <translation>CFR</translation>
    </message>
    <message>
        <source>CQP</source>
        <translation>CQP</translation>
    </message>
    <message>
        <source>Quantization Parameter</source>
        <translation>量化参数</translation>
    </message>
    <message>
        <source>Low</source>
        <translation>低</translation>
    </message>
    <message>
        <source>Middle</source>
        <translation>中</translation>
    </message>
    <message>
        <source>High</source>
        <translation>高</translation>
    </message>
    <message>
        <source>Profile</source>
        <translation>档次</translation>
    </message>
    <message>
        <source>Baseline Profile</source>
        <translation>基本档次</translation>
    </message>
    <message>
        <source>Extended Profile</source>
        <translation>扩展档次</translation>
    </message>
    <message>
        <source>Main Profile</source>
        <translation>主档次</translation>
    </message>
    <message>
        <source>High Profile</source>
        <translation>高档次</translation>
    </message>
    <message>
        <source>Preset</source>
        <translation>预设</translation>
    </message>
    <message>
        <source>ultrafast</source>
        <translation>ultrafast</translation>
    </message>
    <message>
        <source>superfast</source>
        <translation>superfast</translation>
    </message>
    <message>
        <source>veryfast</source>
        <translation>veryfast</translation>
    </message>
    <message>
        <source>faster</source>
        <translation>faster</translation>
    </message>
    <message>
        <source>fast</source>
        <translation>fast</translation>
    </message>
    <message>
        <source>medium</source>
        <translation>medium</translation>
    </message>
    <message>
        <source>slow</source>
        <translation>slow</translation>
    </message>
    <message>
        <source>slower</source>
        <translation>slower</translation>
    </message>
    <message>
        <source>veryslow</source>
        <translation>veryslow</translation>
    </message>
    <message>
        <source>placebo</source>
        <translation>placebo</translation>
    </message>
    <message>
        <source>Filename prefix</source>
        <translation>文件名前缀</translation>
    </message>
    <message>
        <source>Solution</source>
        <translation>分辨率</translation>
    </message>
    <message>
        <source>Main camera record</source>
        <translation>主摄像头录像</translation>
    </message>
    <message>
        <source>Second camera record</source>
        <translation>第二摄像头录像</translation>
    </message>
    <message>
        <source>Screen record</source>
        <translation>屏幕录像</translation>
    </message>
    <message>
        <source>Custom</source>
        <translation>自定义</translation>
    </message>
</context>
<context>
    <name>ConfigDialog</name>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Save position</source>
        <translation>保存位置</translation>
    </message>
    <message>
        <source>Save picture Format</source>
        <translation>图片保存格式</translation>
    </message>
    <message>
        <source>Save video Format</source>
        <translation>视频保存格式</translation>
    </message>
    <message>
        <source>UI language</source>
        <translation>界面语言</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>About</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Snaping sound</source>
        <translation>拍照声音</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>帮助</translation>
    </message>
    <message>
        <source>OCR language</source>
        <translation>OCR 语言</translation>
    </message>
    <message>
        <source>UVC control</source>
        <translation>UVC 控制</translation>
    </message>
</context>
<context>
    <name>GraphicsView</name>
    <message>
        <source>switch device</source>
        <translation>切换设备</translation>
    </message>
    <message>
        <source>Open a picture</source>
        <translation>打开图片</translation>
    </message>
    <message>
        <source>Images (*.jpg *.bmp *.png *.tif)</source>
        <translation>图片 (*.jpg *.bmp *.png *.tif)</translation>
    </message>
</context>
<context>
    <name>GraphicsViewForWirelessDevice</name>
    <message>
        <source>close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>switch device</source>
        <translation>切换设备</translation>
    </message>
    <message>
        <source>solution</source>
        <translation>分辨率</translation>
    </message>
</context>
<context>
    <name>Ltoolbar</name>
    <message>
        <source>Lumora</source>
        <translation>Lumora</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>隐藏</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>The recording stopped: its file could not be written (%1). What was recorded is kept in %2</source>
        <translation>录制已停止：无法写入其文件（%1）。已录制的内容保存在 %2</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>second camera record is running, record file is:</source>
        <translation>第二摄像头正在录像，录像文件：</translation>
    </message>
    <message>
        <source>main camera record is running, record file is:</source>
        <translation>主摄像头正在录像，录像文件：</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>record error</source>
        <translation>录像出错</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Please stop recording first!</source>
        <translation>请先停止录像！</translation>
    </message>
    <message>
        <source>Video Settings</source>
        <translation>视频设置</translation>
    </message>
    <message>
        <source>Zoom Out</source>
        <translation>缩小</translation>
    </message>
    <message>
        <source>Amplification Factor</source>
        <translation>缩放系数</translation>
    </message>
    <message>
        <source>Zoom In</source>
        <translation>放大</translation>
    </message>
    <message>
        <source>Fit View</source>
        <translation>适合窗口</translation>
    </message>
    <message>
        <source>Full Size</source>
        <translation>原始大小</translation>
    </message>
    <message>
        <source>Turn Left</source>
        <translation>向左旋转</translation>
    </message>
    <message>
        <source>Rotating Coefficient</source>
        <translation>旋转角度</translation>
    </message>
    <message>
        <source>Turn Right</source>
        <translation>向右旋转</translation>
    </message>
    <message>
        <source>Freeze live image</source>
        <translation>冻结画面</translation>
    </message>
    <message>
        <source>Camera shot</source>
        <translation>拍照</translation>
    </message>
    <message>
        <source>Full Screen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <source>Local Picture</source>
        <translation>本地图片</translation>
    </message>
    <message>
        <source>Visual Presenter</source>
        <translation>实物展台</translation>
    </message>
    <message>
        <source>REC</source>
        <translation>录像</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>Hide</source>
        <translation>隐藏</translation>
    </message>
    <message>
        <source>Record</source>
        <translation>录像</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>继续</translation>
    </message>
    <message>
        <source>screen record is running, record file is:</source>
        <translation>正在录制屏幕，录像文件：</translation>
    </message>
    <message>
        <source>grab error</source>
        <translation>截图出错</translation>
    </message>
    <message>
        <source>Ellipse</source>
        <translation>椭圆</translation>
    </message>
    <message>
        <source>Rect</source>
        <translation>矩形</translation>
    </message>
    <message>
        <source>Triangle</source>
        <translation>三角形</translation>
    </message>
    <message>
        <source>Line</source>
        <translation>直线</translation>
    </message>
    <message>
        <source>Text</source>
        <translation>文字</translation>
    </message>
    <message>
        <source>Eraser</source>
        <translation>橡皮擦</translation>
    </message>
    <message>
        <source>Delete</source>
        <translation>删除</translation>
    </message>
    <message>
        <source>Undo</source>
        <translation>撤销</translation>
    </message>
    <message>
        <source>Redo</source>
        <translation>重做</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>清空</translation>
    </message>
    <message>
        <source>Move</source>
        <translation>移动</translation>
    </message>
    <message>
        <source>Back</source>
        <translation>返回</translation>
    </message>
    <message>
        <source>Screen shot</source>
        <translation>截屏</translation>
    </message>
    <message>
        <source>Open folder</source>
        <translation>打开文件夹</translation>
    </message>
    <message>
        <source>Extension</source>
        <translation>扩展</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>PIP</source>
        <translation>画中画</translation>
    </message>
    <message>
        <source>Compare</source>
        <translation>对比</translation>
    </message>
    <message>
        <source>Presenter</source>
        <translation>展台</translation>
    </message>
    <message>
        <source>Desktop</source>
        <translation>桌面</translation>
    </message>
    <message>
        <source>Exit</source>
        <translation>退出</translation>
    </message>
    <message>
        <source>Contraction</source>
        <translation>收起</translation>
    </message>
    <message>
        <source>Line Color</source>
        <translation>线条颜色</translation>
    </message>
    <message>
        <source>Fill Color</source>
        <translation>填充颜色</translation>
    </message>
    <message>
        <source>Line Size</source>
        <translation>线条粗细</translation>
    </message>
    <message>
        <source>Transparent</source>
        <translation>透明度</translation>
    </message>
    <message>
        <source>Erase Size</source>
        <translation>橡皮擦大小</translation>
    </message>
    <message>
        <source>Warning Content</source>
        <translation>警告内容</translation>
    </message>
</context>
<context>
    <name>MediaControl</name>
    <message>
        <source>Save picture failed!</source>
        <translation>保存图片失败！</translation>
    </message>
</context>
<context>
    <name>MyMemory</name>
    <message>
        <source>Chinese (Simplified)</source>
        <translation>简体中文</translation>
    </message>
    <message>
        <source>Chinese_Simplified</source>
        <translation>简体中文</translation>
    </message>
</context>
<context>
    <name>OcrTipDialog</name>
    <message>
        <source>Ocring, pls waiting...</source>
        <translation>正在识别文字，请稍候…</translation>
    </message>
    <message>
        <source>open temp text file error, temp text file:</source>
        <translation>打开临时文本文件出错，临时文本文件：</translation>
    </message>
    <message>
        <source>open temp pic file error, temp pic file:</source>
        <translation>打开临时图片文件出错，临时图片文件：</translation>
    </message>
</context>
<context>
    <name>OrvaneApp</name>
    <message>
        <source>The camera service does not answer, please start it and wait</source>
        <translation>相机服务无响应，请启动相机服务并等待</translation>
    </message>
</context>
<context>
    <name>PreviewDialog</name>
    <message>
        <source>Switch</source>
        <translation>切换</translation>
    </message>
    <message>
        <source>Grab</source>
        <translation>拍照</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
<context>
    <name>QDialog</name>
    <message>
        <source>about</source>
        <translation>关于</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>wireless config</source>
        <translation>无线设置</translation>
    </message>
    <message>
        <source>WirelessDevice:</source>
        <translation>无线设备：</translation>
    </message>
    <message>
        <source>WirelessWorkmode:</source>
        <translation>无线工作模式：</translation>
    </message>
    <message>
        <source>WifiName:</source>
        <translation>Wi-Fi 名称：</translation>
    </message>
    <message>
        <source>WifiPassword:</source>
        <translation>Wi-Fi 密码：</translation>
    </message>
    <message>
        <source>WirelessDeviceName:</source>
        <translation>无线设备名称：</translation>
    </message>
    <message>
        <source>PinDao:</source>
        <translation>频道：</translation>
    </message>
    <message>
        <source>commit</source>
        <translation>提交</translation>
    </message>
    <message>
        <source>Default Wifi</source>
        <translation>默认 Wi-Fi</translation>
    </message>
    <message>
        <source>Record mode</source>
        <translation>录像模式</translation>
    </message>
    <message>
        <source>Screen Record</source>
        <translation>屏幕录像</translation>
    </message>
    <message>
        <source>Options</source>
        <translation>选项</translation>
    </message>
    <message>
        <source>Invalid device name or channel</source>
        <translation>设备名称或频道无效</translation>
    </message>
    <message>
        <source>Invalid Wi-Fi name or password</source>
        <translation>Wi-Fi 名称或密码无效</translation>
    </message>
</context>
<context>
    <name>RecordDialog</name>
    <message>
        <source>grab</source>
        <translation>截图</translation>
    </message>
    <message>
        <source>close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Full screen</source>
        <translation>全屏</translation>
    </message>
    <message>
        <source>1024x768</source>
        <translation>1024x768</translation>
    </message>
    <message>
        <source>800x600</source>
        <translation>800x600</translation>
    </message>
    <message>
        <source>640x480</source>
        <translation>640x480</translation>
    </message>
    <message>
        <source>1280x720</source>
        <translation>1280x720</translation>
    </message>
    <message>
        <source>1920x1080</source>
        <translation>1920x1080</translation>
    </message>
    <message>
        <source>Actual solution:</source>
        <translation>实际分辨率：</translation>
    </message>
    <message>
        <source>Start Record</source>
        <translation>开始录像</translation>
    </message>
    <message>
        <source>Start Capture</source>
        <translation>开始截图</translation>
    </message>
    <message>
        <source>Actual solution: </source>
        <translation>实际分辨率：</translation>
    </message>
</context>
<context>
    <name>RecordSelectDialog</name>
    <message>
        <source>record filename:</source>
        <translation>录像文件名：</translation>
    </message>
    <message>
        <source>record time:</source>
        <translation>录像时长：</translation>
    </message>
    <message>
        <source>hour</source>
        <translation>时</translation>
    </message>
    <message>
        <source>minutes</source>
        <translation>分</translation>
    </message>
    <message>
        <source>second</source>
        <translation>秒</translation>
    </message>
    <message>
        <source>start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>pause</source>
        <translation>暂停</translation>
    </message>
    <message>
        <source>resume</source>
        <translation>继续</translation>
    </message>
    <message>
        <source>record</source>
        <translation>录像</translation>
    </message>
    <message>
        <source>main camera record config</source>
        <translation>主摄像头录像设置</translation>
    </message>
    <message>
        <source>second camera record config</source>
        <translation>第二摄像头录像设置</translation>
    </message>
    <message>
        <source>screen record config</source>
        <translation>屏幕录像设置</translation>
    </message>
    <message>
        <source>close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>current camera</source>
        <translation>当前摄像头</translation>
    </message>
    <message>
        <source>other camera</source>
        <translation>另一摄像头</translation>
    </message>
</context>
<context>
    <name>TipsDialog</name>
    <message>
        <source>Pls link wifi to </source>
        <translation>请将 Wi-Fi 连接到 </translation>
    </message>
    <message>
        <source>,then restart!</source>
        <translation>，然后重新启动！</translation>
    </message>
    <message>
        <source>close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
    <message>
        <source>Retry</source>
        <translation>重试</translation>
    </message>
    <message>
        <source>Wire Mode</source>
        <translation>有线模式</translation>
    </message>
    <message>
        <source>Wireless Mode</source>
        <translation>无线模式</translation>
    </message>
    <message>
        <source>confirm</source>
        <translation>确认</translation>
    </message>
    <message>
        <source>cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>警告</translation>
    </message>
    <message>
        <source>Don&apos;t support recording in 4K display mode, please changed the display resolution below 1920x1200</source>
        <translation>不支持在 4K 显示模式下录像，请将显示分辨率调到 1920x1200 以下</translation>
    </message>
    <message>
        <source>Tip</source>
        <translation>提示</translation>
    </message>
    <message>
        <source>Doing ocr, please wait</source>
        <translation>正在识别文字，请稍候</translation>
    </message>
    <message>
        <source>Not find valid device, please insert valid device into usb and wait</source>
        <translation>未找到有效设备，请将有效设备插入 USB 并稍候</translation>
    </message>
    <message>
        <source>Not find wireless device, please open wireless device and click refresh button, or switch into wire mode</source>
        <translation>未找到无线设备，请打开无线设备后点击刷新按钮，或切换到有线模式</translation>
    </message>
    <message>
        <source>You confirm set wireless device?</source>
        <translation>确定设置无线设备吗？</translation>
    </message>
    <message>
        <source>Device has been removed!</source>
        <translation>设备已被移除！</translation>
    </message>
    <message>
        <source>Entering to UVC preview mode ...</source>
        <translation>正在进入 UVC 预览模式…</translation>
    </message>
    <message>
        <source>Exiting from UVC preview mode ...</source>
        <translation>正在退出 UVC 预览模式…</translation>
    </message>
</context>
<context>
    <name>VideoSet</name>
    <message>
        <source>Reset</source>
        <translation>重置</translation>
    </message>
    <message>
        <source>Focus</source>
        <translation>对焦</translation>
    </message>
    <message>
        <source>Form</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Exposure</source>
        <translation>曝光</translation>
    </message>
    <message>
        <source>Auto</source>
        <translation>自动</translation>
    </message>
    <message>
        <source>Brightness</source>
        <translation>亮度</translation>
    </message>
    <message>
        <source>Contrast</source>
        <translation>对比度</translation>
    </message>
    <message>
        <source>Saturation</source>
        <translation>饱和度</translation>
    </message>
    <message>
        <source>Sharpness</source>
        <translation>锐度</translation>
    </message>
    <message>
        <source>Gain</source>
        <translation>增益</translation>
    </message>
</context>
<context>
    <name>recordFinishedDialog</name>
    <message>
        <source>Record Finished</source>
        <translation>录像完成</translation>
    </message>
    <message>
        <source>The video is finished. Do you want to open this video file?</source>
        <translation>录像已完成。是否打开该视频文件？</translation>
    </message>
    <message>
        <source>Open the file</source>
        <translation>打开文件</translation>
    </message>
    <message>
        <source>Close</source>
        <translation>关闭</translation>
    </message>
</context>
</TS>
